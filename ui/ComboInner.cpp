// The inner windows of a combo box (its edit field): subclassed so that their keys and
// focus reach the combo box object.
#include "ui/Control.h"

namespace {
constexpr const char* PrevProcProp = "PREV_PROC";

// Runs the combo box's key dispatcher on a copy: the inner window gets the message as it
// came. False when the handler freed the combo box.
bool RunKeyHandler(Control* combo, const Message& m) {
    if (!combo->KeyHandler) return true;
    Message copy = m;
    LRESULT ignored = 0;
    RefInc(combo);
    combo->KeyHandler(combo, copy, ignored);
    const bool freed = IsFreePending(combo);
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

void SubclassInnerWindows(Control* combo) {
    for (HWND inner = GetWindow(combo->Handle, GW_CHILD); inner;
         inner = GetWindow(inner, GW_HWNDNEXT)) {
        if (GetPropA(inner, PrevProcProp)) continue;
        // The previous procedure is stored before the new one can receive anything.
        SetPropA(inner, PrevProcProp,
                 reinterpret_cast<HANDLE>(GetWindowLongPtrA(inner, GWLP_WNDPROC)));
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
