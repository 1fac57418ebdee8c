// Keyboard events: the dispatcher in a control's KeyHandler slot fires OnKeyDown, OnKeyUp and
// OnChar with the key and the shift state.
#include "ui/Control.h"

namespace {
uint32_t ShiftState() {
    uint32_t shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= ShiftDown;
    if (GetKeyState(VK_CONTROL) < 0) shift |= CtrlDown;
    if (GetKeyState(VK_MENU) < 0) shift |= AltDown;
    return shift;
}

bool KeyDispatcher(Control* ctl, Message& m, LRESULT& result) {
    Event<void(Control*, WPARAM&, uint32_t)> event;
    switch (m.msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        event = ctl->OnKeyDown;
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        event = ctl->OnKeyUp;
        break;
    case WM_CHAR:
        event = ctl->OnChar;
        break;
    default:
        return false;
    }
    if (!event) return false;
    WPARAM key = m.wParam;
    event(ctl, key, ShiftState());
    m.wParam = key;
    if (key != 0) return false;
    // The handler took the key: nothing processes it further.
    result = 0;
    return true;
}
} // namespace

void SetOnChar(Control* ctl, Event<void(Control*, WPARAM&, uint32_t)> event) {
    ctl->OnChar = event;
    ctl->KeyHandler = KeyDispatcher;
}
