// Attached handlers and the delivery of events: reflected colours and commands, common
// control notifications, keys, dropped files and the inner windows of a combo box.
#include "ui/Control.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {
constexpr const char* PrevProcProp = "PREV_PROC";

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

bool DropHandler(Control* ctl, Message& m, LRESULT& result) {
    if (m.msg != WM_DROPFILES || !ctl->OnDropFiles) return false;
    auto drop = reinterpret_cast<HDROP>(m.wParam);
    POINT point{};
    DragQueryPoint(drop, &point);
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    std::string names;
    for (UINT i = 0; i < count; ++i) {
        // Each name is read whole, whatever its length.
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        std::string name(length + 1, '\0');
        name.resize(DragQueryFileA(drop, i, name.data(), length + 1));
        if (i > 0) names += '\r';
        names += name;
    }
    DragFinish(drop);
    Event<void(Control*, const std::string&, POINT)> onDropFiles = ctl->OnDropFiles;
    onDropFiles(ctl, names, point);
    result = 0;
    return true;
}

// Runs the combo box's key dispatcher on a copy: the inner window gets the message as it
// came. False when the handler freed the combo box.
bool RunKeyHandler(Control* combo, const Message& m) {
    if (!combo->KeyHandler) return true;
    Message copy = m;
    LRESULT ignored = 0;
    RefInc(combo);
    combo->KeyHandler(combo, copy, ignored);
    const bool freed = combo->RefCount == 1;
    RefDec(combo);
    return !freed;
}

LRESULT CALLBACK InnerWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        auto prev = reinterpret_cast<WNDPROC>(GetPropA(window, PrevProcProp));
        auto passOn = [&]() -> LRESULT {
            if (!prev) return 0;
            return CallWindowProcA(prev, window, msg, wParam, lParam);
        };
        if (msg == WM_NCDESTROY) {
            if (prev) {
                SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev));
                RemovePropA(window, PrevProcProp);
            }
            return passOn();
        }
        Control* combo = ControlOfWindow(GetParent(window));
        if (!combo || combo->RefCount < 0) {
            return prev ? passOn() : DefWindowProcA(window, msg, wParam, lParam);
        }

        Message m{combo->Handle, msg, wParam, lParam};
        LRESULT result = 0;
        if (Applet && Applet->OnMessage(m, result)) return result;
        Control* form = ParentForm(combo);
        if (form && form != Applet && form->OnMessage(m, result)) return result;

        switch (msg) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
            if (wParam == VK_TAB && msg != WM_KEYDOWN) return 0;
            if (msg == WM_CHAR && (wParam == VK_ESCAPE || wParam == VK_RETURN)) {
                if (SendMessageA(combo->Handle, CB_GETDROPPEDSTATE, 0, 0)) {
                    SendMessageA(combo->Handle, CB_SHOWDROPDOWN, FALSE, 0);
                    if (wParam == VK_ESCAPE) {
                        SendMessageA(combo->Handle, CB_SETCURSEL, combo->IndexBeforeDrop, 0);
                    }
                }
                RunKeyHandler(combo, m);
                return 0;
            }
            if (!RunKeyHandler(combo, m)) return 0;
            break;
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_DEADCHAR:
        case WM_SYSCHAR:
        case WM_SYSDEADCHAR:
            if (!RunKeyHandler(combo, m)) return 0;
            break;
        case WM_SETFOCUS:
            if (form) form->CurrentControl = combo;
            break;
        default:
            break;
        }
        return passOn();
    } catch (...) {
        return 0;
    }
}
} // namespace

bool DispatchHandlers(Control* ctl, Message& m, LRESULT& result) {
    if (ctl->RefCount < 0) return false;
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
    // Freed by one of its handlers: the unlock destroys it and nothing else may touch it.
    if (ctl->RefCount == 1) handled = true;
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

void SetOnDropFiles(Control* ctl, Event<void(Control*, const std::string&, POINT)> event) {
    ctl->OnDropFiles = event;
    AttachHandler(ctl, DropHandler);
    DragAcceptFiles(WindowHandle(ctl), event ? TRUE : FALSE);
}

void SubclassInnerWindows(Control* combo) {
    for (HWND inner = GetWindow(combo->Handle, GW_CHILD); inner;
         inner = GetWindow(inner, GW_HWNDNEXT)) {
        if (GetPropA(inner, PrevProcProp)) continue;
        // The previous procedure is stored before the new one can receive anything.
        SetPropA(inner, PrevProcProp, reinterpret_cast<HANDLE>(GetWindowLongPtrA(inner, GWLP_WNDPROC)));
        SetWindowLongPtrA(inner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InnerWindowProc));
    }
}

void UnsubclassInnerWindows(HWND window) {
    for (HWND inner = GetWindow(window, GW_CHILD); inner; inner = GetWindow(inner, GW_HWNDNEXT)) {
        HANDLE prev = GetPropA(inner, PrevProcProp);
        if (!prev) continue;
        SetWindowLongPtrA(inner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev));
        RemovePropA(inner, PrevProcProp);
    }
}
