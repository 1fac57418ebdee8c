// The built-in message cases of every control: closing, destruction, sizing, showing,
// minimising, focus, cursor, reflected colours and commands, and keys.
#include "ui/Control.h"

namespace {
constexpr UINT FirstKeyMessage = WM_KEYDOWN; // 0x100 .. 0x108: keys and characters
constexpr UINT LastKeyMessage = 0x108;
} // namespace

LRESULT Control::WndProc(Message& m) {
    LRESULT result = 0;
    // Once destruction has begun no event or handler of the object runs.
    if (RefCount >= 0) {
        if (AppletRunning && Applet && Applet != this && Applet->OnMessage(m, result)) {
            return result;
        }
        if (OnMessage(m, result)) return result;
        if (HandlerDispatch && HandlerDispatch(this, m, result)) return result;
    }

    auto finish = [&]() -> LRESULT {
        result = 0;
        if (AfterHandler) AfterHandler(this, m, result);
        return result;
    };

    switch (m.msg) {
    case WM_CLOSE: {
        bool accept = true;
        if (OnClose) {
            Event<void(Control*, bool&)> onClose = OnClose;
            onClose(this, accept);
            if (!accept && AppletRunning) return finish();
        }
        OnClose = {};
        if (IsApplet || IsMainForm(this)) {
            Control* applet = IsApplet ? this : AppletOf(this);
            if (applet && applet != this && applet->Handle) {
                SendMessageA(applet->Handle, WM_CLOSE, 0, 0);
            }
            PostQuitMessage(0);
            return finish();
        }
        return DefaultProcessing(m);
    }
    case WM_NCDESTROY:
        RemovePropA(m.window, SelfProp);
        if (IsApplet) return DefaultProcessing(m);
        if (IsMainForm(this)) {
            PostMessageA(Handle, MsgRelease, 0, 0);
            return DefaultProcessing(m);
        }
        if (Parent && Parent->IsApplet) {
            // A window of the applet that the system destroys takes its object with it.
            DefaultProcessing(m);
            WindowGone = true;
            FreeObject(this);
            return 0;
        }
        return DefaultProcessing(m);
    case MsgRelease:
        Destroying = true;
        FreeObject(this);
        return 0;
    case WM_SIZE: {
        LRESULT r = DefaultProcessing(m);
        SizeType = LOBYTE(m.wParam);
        if (AlignProc) {
            if (!IsForm && Parent) AlignProc(Parent);
            AlignProc(this);
        }
        return r;
    }
    case WM_SHOWWINDOW:
        if (m.lParam == SW_PARENTCLOSING) {
            ShowStateToRestore = IsIconic(Handle)   ? SW_SHOWMINNOACTIVE
                                 : IsZoomed(Handle) ? SW_SHOWMAXIMIZED
                                                    : SW_SHOWNOACTIVATE;
            return DefaultProcessing(m);
        }
        if (m.lParam == SW_PARENTOPENING) {
            if (ShowStateToRestore) {
                ShowWindow(Handle, ShowStateToRestore);
                ShowStateToRestore = 0;
            }
            return finish();
        }
        return DefaultProcessing(m);
    case WM_SYSCOMMAND:
        if ((m.wParam & 0xFFF0) == SC_MINIMIZE && !IsApplet && IsMainForm(this)) {
            // The application minimises as a whole, through the applet's window.
            Control* applet = AppletOf(this);
            if (applet && applet->Handle) {
                PostMessageA(applet->Handle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
                return finish();
            }
        }
        return DefaultProcessing(m);
    case WM_SETFOCUS:
        if (IsWindowEnabled(Handle) && TabStop) {
            ++FocusGuard;
            SetFocus(Handle);
            --FocusGuard;
            ++FocusGuard;
            LRESULT r = DefaultProcessing(m);
            --FocusGuard;
            return r;
        }
        // A control without tab stop never lets the system control see the focus.
        return finish();
    case WM_SETCURSOR:
        if (!GetCapture() && LOWORD(m.lParam) == HTCLIENT) {
            SetCursor(Cursor);
            return 1;
        }
        return DefaultProcessing(m);
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMMAND: {
        // Both are about the child window in lParam: its object answers them.
        HWND about = reinterpret_cast<HWND>(m.lParam);
        if (!ControlOfWindow(about)) return DefaultProcessing(m);
        const UINT reflected =
            m.msg == WM_COMMAND ? MsgReflectedCommand : m.msg + ReflectedColorOffset;
        return SendMessageA(about, reflected, m.wParam, m.lParam);
    }
    default:
        break;
    }

    if (m.msg >= FirstKeyMessage && m.msg <= LastKeyMessage) {
        if (GetFocus() != Handle) return finish();
        if (KeyHandler && KeyHandler(this, m, result)) return result;
        if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return DefaultProcessing(m);
        if (m.msg == WM_CHAR && m.wParam == VK_TAB) {
            // A Tab character never reaches a control, and Tab moves no focus.
            m.wParam = 0;
            return finish();
        }
    }
    return DefaultProcessing(m);
}
