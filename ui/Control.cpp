// The record of a window object: the layer's global state, colours and brushes, the parent
// chain and the defaults every control starts from.
#include "ui/Control.h"

Control* Applet = nullptr;
int AppletRunning = 0;
bool AppletTerminated = false;
bool AppletMade = false;
Control* CreatingWindow = nullptr;
uint16_t NextControlId = FirstControlId;
uint32_t NextMenuId = FirstMenuId;
void (*AlignProc)(Control* parent) = nullptr;
SystemWindowMaker MakeSystemWindow = CreateWindowExA;

COLORREF ColorToRGB(int32_t color) {
    if (color >= 0) return static_cast<COLORREF>(color);
    return GetSysColor(color & 0xFF);
}

HBRUSH ControlBrush(Control* ctl) {
    Control* owner = ctl;
    while (owner->Parent && owner->Parent->Color == ctl->Color) owner = owner->Parent;
    const COLORREF rgb = ColorToRGB(ctl->Color);
    if (owner->BrushHandle && owner->BrushRGB != rgb) {
        // The system colour changed since the brush was made.
        DeleteObject(owner->BrushHandle);
        owner->BrushHandle = nullptr;
    }
    if (!owner->BrushHandle) {
        owner->BrushHandle = CreateSolidBrush(rgb);
        owner->BrushRGB = rgb;
    }
    return owner->BrushHandle;
}

Control* ControlOfWindow(HWND hwnd) {
    if (!hwnd) return nullptr;
    return static_cast<Control*>(GetPropA(hwnd, SelfProp));
}

Control* AppletOf(Control* ctl) {
    Control* top = ctl;
    while (top->Parent) top = top->Parent;
    return top->IsApplet ? top : Applet;
}

Control* ParentForm(Control* ctl) {
    for (Control* p = ctl ? ctl->Parent : nullptr; p; p = p->Parent) {
        if (p->IsForm || p->IsApplet) return p;
    }
    return nullptr;
}

bool IsMainForm(const Control* ctl) {
    if (!ctl->IsForm) return false;
    if (ctl->Parent) {
        return ctl->Parent->IsApplet && !ctl->Parent->Children.empty() &&
               ctl->Parent->Children.front() == ctl;
    }
    return !AppletMade;
}

void Control::Init() { Cursor = LoadCursorA(nullptr, IDC_ARROW); }

void Control::CreateParented(Control* parent) {
    if (!parent) return;
    Parent = parent;
    Color = parent->Color;
    parent->Children.push_back(this);
}

LRESULT Control::DefaultProcessing(const Message& m) {
    if (DefaultProc) return CallWindowProcA(DefaultProc, Handle, m.msg, m.wParam, m.lParam);
    return DefWindowProcA(m.window, m.msg, m.wParam, m.lParam);
}
