// The application object: the taskbar window, the run loop, its end and the message boxes.
#include "ui/Applet.h"

namespace {
// A pop-up without area that carries the taskbar button, the title and the system menu.
constexpr uint32_t AppletStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
static_assert(AppletStyle == 0x90CA0000);

// The applet shows no area, so it can be neither sized, moved, maximised nor restored.
void TrimSystemMenu(Control* applet) {
    HMENU menu = GetSystemMenu(applet->Handle, FALSE);
    if (!menu) return;
    EnableMenuItem(menu, SC_RESTORE, MF_BYCOMMAND | MF_GRAYED);
    DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
}

// Activating the program from the taskbar puts the focus back into the form that had it.
bool AppletFocusHandler(Control* applet, Message& m, LRESULT& result) {
    if (m.msg != WM_SETFOCUS || !applet->CurrentControl) return false;
    if (HWND target = WindowHandle(applet->CurrentControl)) SetFocus(target);
    result = 0;
    return true;
}

// Before the applet minimises it takes the main form's place, so the animation starts there.
bool MinimizeHandler(Control* applet, Message& m, LRESULT&) {
    if (m.msg != WM_SYSCOMMAND || !IsSystemCommand(m.wParam, SC_MINIMIZE)) return false;
    Control* form = applet->MainForm;
    if (!applet->Handle || !form || !form->Handle) return false;
    RECT place{};
    GetWindowRect(form->Handle, &place);
    SetWindowPos(applet->Handle, nullptr, place.left, place.top, place.right - place.left, 0,
                 SWP_NOZORDER | SWP_NOREDRAW);
    return false;
}

// Tied to the main form: when the form goes, the applet forgets it.
struct MainFormLink : BaseObject {
    Control* applet = nullptr;
    Control* form = nullptr;
    void Destroy() override {
        if (applet->MainForm == form) applet->MainForm = nullptr;
        BaseObject::Destroy();
    }
};

// Algorithm of the end: the loop state is cleared and the applet freed with all it owns.
void TerminateApplet(Control*& applet) {
    const bool signalled = AppletTerminated;
    AppletTerminated = true;
    AppletRunning = 0;
    Control* running = Applet;
    Applet = nullptr;
    applet = nullptr;
    if (!running) return;
    RefInc(running);
    if (!signalled) {
        // The loop ended without a quit message: the applet still gets its close.
        ProcessMessages();
        if (running->Handle) SendMessageA(running->Handle, WM_CLOSE, 0, 0);
    }
    FreeObject(running);
    RefDec(running);
}

// Whether the control and everything it holds have their windows.
bool WindowsMade(Control* ctl) {
    if (!ctl->Handle) return false;
    for (Control* child : ctl->Children) {
        if (!WindowsMade(child)) return false;
    }
    return true;
}
} // namespace

Control* CreateApplet(const std::string& title) {
    AppletMade = true;
    Control* applet = CreateControl(nullptr, "App", AppletStyle, true, nullptr);
    applet->IsApplet = true;
    applet->Style = AppletStyle;
    applet->ExStyle = WS_EX_APPWINDOW;
    applet->OnCreateWindow = TrimSystemMenu;
    AttachHandler(applet, AppletFocusHandler);
    applet->Caption = title;
    return applet;
}

bool RunApplet(Control*& applet, const std::function<void()>& onShown) {
    ++AppletRunning;
    Applet = applet;
    // Makes every window still missing and shows those made early, parents first.
    if (applet) applet->CreateWindow();
    // A control without its window would meet the user's first click with a fault.
    if (applet && !WindowsMade(applet)) {
        // A loop without windows would wait for ever: the caller tells the user and ends.
        AppletTerminated = true;
        TerminateApplet(applet);
        return false;
    }
    if (onShown) onShown();
    while (!AppletTerminated) {
        // Messages posted before the loop started are taken before the first wait.
        ProcessMessages();
        if (AppletTerminated) break;
        WaitMessage();
    }
    TerminateApplet(applet);
    return true;
}

void ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            AppletTerminated = true;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void PostClose(Control* ctl) {
    if (ctl && ctl->Handle) PostMessageA(ctl->Handle, WM_CLOSE, 0, 0);
}

void MinimizeFromFormPlace(Control* form) {
    Control* applet = form ? AppletOf(form) : nullptr;
    // Without an applet the form would be squeezed to its caption: nothing to attach.
    if (!applet || applet == form) return;
    if (applet->MainForm != form) {
        auto* link = NewObject<MainFormLink>();
        link->applet = applet;
        link->form = form;
        AddAutoFree(form, link);
    }
    applet->MainForm = form;
    AttachHandler(applet, MinimizeHandler);
}

int MessageBoxOk(const std::string& text) { return MessageBoxFlags(text, MB_OK); }

int MessageBoxFlags(const std::string& text, UINT flags) {
    // No owner: the main window stays usable while the box is shown.
    const char* caption = Applet ? Applet->Caption.c_str() : nullptr;
    return MessageBoxA(nullptr, text.c_str(), caption, flags);
}
