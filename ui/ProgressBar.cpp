// The progress bar control: made over the common control, its range and its percent.
#include "ui/ProgressBar.h"

#include <commctrl.h>

namespace {
constexpr uint32_t BarStyle = WS_CHILD | PBS_SMOOTH;

void SetRange(Control* bar) { SendMessageA(bar->Handle, PBM_SETRANGE32, 0, 100); }
} // namespace

Control* CreateProgressBar(Control* parent) {
    Control* bar = CreateCommonControl(parent, PROGRESS_CLASSA, BarStyle, false, nullptr);
    bar->VisibilitySet = true;
    bar->OnCreateWindow = SetRange;
    return bar;
}

void SetProgressPercent(Control* bar, int percent) {
    SendToControl(bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}
