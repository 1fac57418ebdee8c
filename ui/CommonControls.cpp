// The common controls (tab control, status bar): loaded once per process, and their
// notifications turned into messages and events of the control they are about.
#include "ui/Control.h"

namespace {
// Turns the parent's WM_NOTIFY into a message of the child it is about.
bool ParentNotifyHandler(Control* parent, Message& m, LRESULT& result) {
    if (m.msg != WM_NOTIFY || !m.lParam) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(m.lParam);
    Control* child = ControlOfWindow(header->hwndFrom);
    // A control notifying itself already runs its own handlers.
    if (!child || child == parent) return false;
    Message forwarded{child->Handle, m.msg, m.wParam, m.lParam};
    return DispatchHandlers(child, forwarded, result);
}

// The generic notification codes of a common control; handled only when the event is set.
bool CommonNotifyHandler(Control* ctl, Message& m, LRESULT& result) {
    if (m.msg != WM_NOTIFY || !m.lParam) return false;
    const UINT code = reinterpret_cast<const NMHDR*>(m.lParam)->code;
    Event<void(Control*)> event;
    if (code == NM_CLICK || code == NM_RCLICK) {
        ctl->RightClick = code == NM_RCLICK;
        event = ctl->OnClick;
    } else if (code == NM_KILLFOCUS) {
        event = ctl->OnLeave;
    } else if (code == NM_SETFOCUS || code == NM_RETURN) {
        event = ctl->OnEnter;
    }
    if (!event) return false;
    event(ctl);
    result = 0;
    return true;
}
} // namespace

void LoadCommonControls(DWORD classes) {
    InitCommonControls();
    static HMODULE comctl = LoadLibraryA("comctl32.dll");
    if (!comctl) return;
    using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto initEx = reinterpret_cast<InitEx>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
    if (!initEx) return;
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), classes};
    initEx(&icc);
}

void AttachNotifyHandlers(Control* ctl) {
    if (ctl->Parent) AttachHandler(ctl->Parent, ParentNotifyHandler);
    AttachHandler(ctl, CommonNotifyHandler);
}
