// Attached handlers and the delivery of events: the handler walk, reflected colours and
// commands, common control notifications and keys.
#include "ui/Control.h"

#include <commctrl.h>

namespace {
uint32_t ShiftState() {
    uint32_t shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= 0x04;
    if (GetKeyState(VK_CONTROL) < 0) shift |= 0x08;
    if (GetKeyState(VK_MENU) < 0) shift |= 0x20;
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

bool DispatchHandlers(Control* ctl, Message& m, LRESULT& result) {
    if (ctl->RefCount < 0) return false;
    // A control already freed (by an outer handler or a nested pump) still owns a working
    // window until it goes: its messages get their normal processing meanwhile.
    const bool pendingBefore = IsFreePending(ctl);
    RefInc(ctl);
    bool handled = false;
    for (size_t i = ctl->Handlers.size(); i-- > 0;) {
        if (i >= ctl->Handlers.size()) continue;
        const AttachedHandler handler = ctl->Handlers[i];
        if (AppletTerminated && !handler.runAfterTermination) continue;
        if (handler.proc(ctl, m, result)) {
            handled = true;
            break;
        }
    }
    // Freed by one of these handlers: nothing else may act on it before it goes.
    if (!pendingBefore && IsFreePending(ctl)) handled = true;
    RefDec(ctl);
    return handled;
}

void AttachHandlerEx(Control* ctl, MessageHandler handler, bool runAfterTermination) {
    ctl->HandlerDispatch = DispatchHandlers;
    if (!IsHandlerAttached(ctl, handler)) ctl->Handlers.push_back({handler, runAfterTermination});
}

void AttachHandler(Control* ctl, MessageHandler handler) { AttachHandlerEx(ctl, handler, false); }

bool IsHandlerAttached(const Control* ctl, MessageHandler handler) {
    for (const AttachedHandler& h : ctl->Handlers) {
        if (h.proc == handler) return true;
    }
    return false;
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

bool ControlHandler(Control* ctl, Message& m, LRESULT& result) {
    if (m.msg >= WM_CTLCOLORMSGBOX + ReflectedColorOffset &&
        m.msg <= WM_CTLCOLORSTATIC + ReflectedColorOffset) {
        auto dc = reinterpret_cast<HDC>(m.wParam);
        SetTextColor(dc, ColorToRGB(ctl->TextColor));
        if (ctl->Transparent) {
            SetBkMode(dc, TRANSPARENT);
            result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        } else {
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, ColorToRGB(ctl->Color));
            result = reinterpret_cast<LRESULT>(BrushProc(ctl));
        }
        return true;
    }
    if (m.msg == MsgReflectedCommand) {
        const WORD code = HIWORD(m.wParam);
        const Actions& actions = ctl->Actions;
        if (code == actions.Click) {
            // A click caused by the layer moving the focus is no click of the user.
            if (ctl->FocusGuard <= 0) {
                if (ctl->ClickAction) ctl->ClickAction(ctl);
                ctl->OnClick(ctl);
            }
        } else if (code == actions.Enter) {
            ctl->OnEnter(ctl);
        } else if (code == actions.Leave) {
            ctl->OnLeave(ctl);
        } else if (code == actions.Change) {
            ctl->OnChange(ctl);
        } else if (code == actions.SelChange) {
            (ctl->OnSelChange ? ctl->OnSelChange : ctl->OnChange)(ctl);
        } else {
            return false;
        }
        result = ctl->DefaultProcessing(m);
        return true;
    }
    if (m.msg == WM_SETFOCUS) {
        if (Control* form = ParentForm(ctl)) form->CurrentControl = ctl;
    }
    return false;
}

void AttachNotifyHandlers(Control* ctl) {
    if (ctl->Parent) AttachHandler(ctl->Parent, ParentNotifyHandler);
    AttachHandler(ctl, CommonNotifyHandler);
}

void SetOnChar(Control* ctl, Event<void(Control*, WPARAM&, uint32_t)> event) {
    ctl->OnChar = event;
    ctl->KeyHandler = KeyDispatcher;
}
