// The message path of every layer window, in the order a message travels it: the window
// function, the control's processing with its events, attached handlers and built-in steps,
// the handler walk, and the control handler that answers what a parent reflects to a child.
#include "ui/MessagePath.h"

#include "ui/Control.h"

namespace {
// Holds a control for the whole window procedure: a handler, an event or a nested message
// pump may free it, and it goes only when the procedure is done with it.
class Hold {
  public:
    explicit Hold(Control* ctl) : ctl_(ctl->RefCount >= 0 ? ctl : nullptr) {
        if (ctl_) RefInc(ctl_);
    }
    ~Hold() {
        if (ctl_) RefDec(ctl_);
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

  private:
    Control* ctl_;
};

// Keys and characters: WM_KEYDOWN to the message after WM_SYSDEADCHAR, the end of the range
// before WM_UNICHAR.
constexpr UINT FirstKeyMessage = WM_KEYDOWN;
constexpr UINT LastKeyMessage = WM_SYSDEADCHAR + 1;
static_assert(FirstKeyMessage == 0x100 && LastKeyMessage == 0x108);

bool IsColorRequest(UINT msg) { return msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC; }

// A built-in step: true when it answered the message, with result holding the answer.
using Step = bool (*)(Control* ctl, Message& m, LRESULT& result);

// The message is done with a result of 0; the control's after-handler may still change it.
bool Finish(Control* ctl, Message& m, LRESULT& result) {
    result = 0;
    if (ctl->AfterHandler) ctl->AfterHandler(ctl, m, result);
    return true;
}

bool Default(Control* ctl, Message& m, LRESULT& result) {
    result = ctl->DefaultProcessing(m);
    return true;
}

// The applet's and the control's OnMessage, then the attached handlers. Once destruction has
// begun none of them runs.
bool Events(Control* ctl, Message& m, LRESULT& result) {
    if (ctl->RefCount < 0) return false;
    if (AppletRunning && Applet && Applet != ctl && Applet->OnMessage(m, result)) return true;
    if (ctl->OnMessage(m, result)) return true;
    return ctl->HandlerDispatch && ctl->HandlerDispatch(ctl, m, result);
}

// Reflection: a command about a child window of the layer goes to that child's object.
bool Reflection(Control* ctl, Message& m, LRESULT& result) {
    if (m.msg != WM_COMMAND) return false;
    HWND about = reinterpret_cast<HWND>(m.lParam);
    if (!ControlOfWindow(about)) return Default(ctl, m, result);
    result = SendMessageA(about, MsgReflectedCommand, m.wParam, m.lParam);
    return true;
}

// Painting: the colours a child window asks its parent for are the child object's own; the
// cursor over the client area is the control's.
bool Painting(Control* ctl, Message& m, LRESULT& result) {
    if (IsColorRequest(m.msg)) {
        HWND about = reinterpret_cast<HWND>(m.lParam);
        if (!ControlOfWindow(about)) return Default(ctl, m, result);
        result = SendMessageA(about, m.msg + ReflectedColorOffset, m.wParam, m.lParam);
        return true;
    }
    if (m.msg == WM_SETCURSOR) {
        if (GetCapture() || LOWORD(m.lParam) != HTCLIENT) return Default(ctl, m, result);
        SetCursor(ctl->Cursor);
        result = 1;
        return true;
    }
    return false;
}

// Focus and keys: a focus move made here is no click, keys reach only the focused window,
// and a Tab character never reaches a control (Tab moves no focus either).
bool Focus(Control* ctl, Message& m, LRESULT& result) {
    if (m.msg == WM_SETFOCUS) {
        // A control without tab stop never lets the system control see the focus.
        if (!IsWindowEnabled(ctl->Handle) || !ctl->TabStop) return Finish(ctl, m, result);
        ++ctl->FocusGuard;
        SetFocus(ctl->Handle);
        --ctl->FocusGuard;
        ++ctl->FocusGuard;
        result = ctl->DefaultProcessing(m);
        --ctl->FocusGuard;
        return true;
    }
    if (m.msg < FirstKeyMessage || m.msg > LastKeyMessage) return false;
    if (GetFocus() != ctl->Handle) return Finish(ctl, m, result);
    if (ctl->KeyHandler && ctl->KeyHandler(ctl, m, result)) return true;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return Default(ctl, m, result);
    if (m.msg == WM_CHAR && m.wParam == VK_TAB) {
        m.wParam = 0;
        return Finish(ctl, m, result);
    }
    return false;
}

// Sizing and showing: a new size lays out the parent and the control's children; a window
// hidden with its minimised parent comes back as it was; the application minimises as a
// whole, through the applet's window.
bool Sizing(Control* ctl, Message& m, LRESULT& result) {
    switch (m.msg) {
    case WM_SIZE:
        result = ctl->DefaultProcessing(m);
        ctl->SizeType = LOBYTE(m.wParam);
        if (AlignProc) {
            if (!ctl->IsForm && ctl->Parent) AlignProc(ctl->Parent);
            AlignProc(ctl);
        }
        return true;
    case WM_SHOWWINDOW:
        if (m.lParam == SW_PARENTCLOSING) {
            ctl->ShowStateToRestore = IsIconic(ctl->Handle)   ? SW_SHOWMINNOACTIVE
                                      : IsZoomed(ctl->Handle) ? SW_SHOWMAXIMIZED
                                                              : SW_SHOWNOACTIVATE;
            return Default(ctl, m, result);
        }
        if (m.lParam != SW_PARENTOPENING) return Default(ctl, m, result);
        if (ctl->ShowStateToRestore) {
            ShowWindow(ctl->Handle, ctl->ShowStateToRestore);
            ctl->ShowStateToRestore = 0;
        }
        return Finish(ctl, m, result);
    case WM_SYSCOMMAND:
        if (IsSystemCommand(m.wParam, SC_MINIMIZE) && !ctl->IsApplet && IsMainForm(ctl)) {
            Control* applet = AppletOf(ctl);
            if (applet && applet->Handle) {
                PostMessageA(applet->Handle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
                return Finish(ctl, m, result);
            }
        }
        return Default(ctl, m, result);
    default:
        return false;
    }
}

// The rest: closing the main form or the applet ends the run loop unless OnClose refuses it;
// a window the system destroys lets go of its object.
bool Closing(Control* ctl, Message& m, LRESULT& result) {
    switch (m.msg) {
    case WM_CLOSE: {
        bool accept = true;
        if (ctl->OnClose) {
            Event<void(Control*, bool&)> onClose = ctl->OnClose;
            onClose(ctl, accept);
            if (!accept && AppletRunning) return Finish(ctl, m, result);
        }
        ctl->OnClose = {};
        if (!ctl->IsApplet && !IsMainForm(ctl)) return Default(ctl, m, result);
        Control* applet = ctl->IsApplet ? ctl : AppletOf(ctl);
        if (applet && applet != ctl && applet->Handle) {
            SendMessageA(applet->Handle, WM_CLOSE, 0, 0);
        }
        PostQuitMessage(0);
        return Finish(ctl, m, result);
    }
    case WM_NCDESTROY:
        RemovePropA(m.window, SelfProp);
        if (ctl->IsApplet) return Default(ctl, m, result);
        if (IsMainForm(ctl)) {
            PostMessageA(ctl->Handle, MsgRelease, 0, 0);
            return Default(ctl, m, result);
        }
        if (ctl->Parent && ctl->Parent->IsApplet) {
            // A window of the applet that the system destroys takes its object with it.
            ctl->DefaultProcessing(m);
            ctl->WindowGone = true;
            FreeObject(ctl);
            result = 0;
            return true;
        }
        return Default(ctl, m, result);
    case MsgRelease:
        ctl->Destroying = true;
        FreeObject(ctl);
        result = 0;
        return true;
    default:
        return false;
    }
}
} // namespace

LRESULT CALLBACK WindowFunction(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        Control* ctl = nullptr;
        if (CreatingWindow) {
            // The first message of a window being made: from now on it knows its object.
            ctl = CreatingWindow;
            CreatingWindow = nullptr;
            ctl->Handle = hwnd;
            SetPropA(hwnd, SelfProp, ctl);
        } else {
            ctl = ControlOfWindow(hwnd);
        }
        if (!ctl || !hwnd) ctl = Applet;
        if (!ctl) return DefWindowProcA(hwnd, msg, wParam, lParam);
        Message m{hwnd, msg, wParam, lParam};
        Hold hold(ctl);
        return ctl->WndProc(m);
    } catch (...) {
        return 0;
    }
}

LRESULT Control::WndProc(Message& m) {
    LRESULT result = 0;
    if (Events(this, m, result)) return result;
    for (Step step : {Reflection, Painting, Focus, Sizing, Closing}) {
        if (step(this, m, result)) return result;
    }
    return DefaultProcessing(m);
}

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
            result = reinterpret_cast<LRESULT>(ControlBrush(ctl));
        }
        return true;
    }
    if (m.msg == MsgReflectedCommand) {
        // The kind's action table names the notification codes; the first equal one decides.
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
