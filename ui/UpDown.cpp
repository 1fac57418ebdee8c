// The number box's arrows: made beside their box, their range, and the number they show.
#include "ui/UpDown.h"

#include <commctrl.h>

namespace {
// The box shows the number; no thousands separator, as the box takes digits only.
constexpr uint32_t ArrowsStyle = VisibleChild | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS;

struct UpDown : Control {
    Control* Buddy = nullptr;
    int Low = 1;
    int High = 1;
};

void ApplyRange(UpDown* arrows) {
    SendMessageA(arrows->Handle, UDM_SETRANGE32, static_cast<WPARAM>(arrows->Low),
                 static_cast<LPARAM>(arrows->High));
}

// The buddy's window is made first when it does not exist yet.
void TieToBuddy(Control* ctl) {
    auto* arrows = static_cast<UpDown*>(ctl);
    if (HWND buddy = WindowHandle(arrows->Buddy))
        SendMessageA(arrows->Handle, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
    ApplyRange(arrows);
}
} // namespace

Control* CreateUpDown(Control* parent, Control* buddy) {
    UpDown* arrows =
        CreateCommonControl<UpDown>(parent, UPDOWN_CLASSA, ArrowsStyle, false, nullptr);
    arrows->Buddy = buddy;
    arrows->OnCreateWindow = TieToBuddy;
    return arrows;
}

void SetUpDownRange(Control* upDown, int low, int high) {
    auto* arrows = static_cast<UpDown*>(upDown);
    arrows->Low = low;
    arrows->High = high;
    if (arrows->Handle) ApplyRange(arrows);
}
