// Faults of the core that stay mended: a control freed while its own window procedure runs,
// the copied icon, MainForm, and the end of a Windows session.
#include "UiTest.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "ui/Form.h"
#include "ui/Geometry.h"

namespace {
using MendTest = UiTest;
constexpr UINT FreeRequest = WM_APP + 11;

struct Inside {
    int liveBefore = 0;
    int liveInside = -1;
    bool pendingInside = false;
    bool pump = false;
    bool pumpEnded = false;
};
Inside inside;

bool FreeOnRequest(Inside*, Message& m, LRESULT&) {
    if (m.msg != FreeRequest) return false;
    FreeObject(ControlOfWindow(m.window));
    return true;
}

// Dispatches what waits until the queue is empty; false when it is still busy at the deadline,
// as when a window never validates its paint and keeps asking for it.
bool DrainWithin(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (GetTickCount() - start > milliseconds) return false;
    }
    return true;
}

void KeyDown(Inside* state, Control* sender, WPARAM&, uint32_t) {
    if (state->pump) {
        // A nested message pump, as a long operation runs: the control is freed there, and its
        // window goes on working (painting included) until the message is done.
        PostMessageA(sender->Handle, FreeRequest, 0, 0);
        state->pumpEnded = DrainWithin(3000);
    } else {
        FreeObject(sender);
    }
    state->liveInside = LiveObjectCount();
    state->pendingInside = IsFreePending(sender) && IsWindow(sender->Handle);
}

TEST_F(MendTest, AControlFreedWhileItsKeyEventRunsGoesWhenTheMessageIsDone) {
    for (bool pump : {false, true}) {
        SCOPED_TRACE(pump ? "freed in a nested pump" : "freed by its own key handler");
        Control* form = MakeForm();
        Control* edit = CreateControl(form, "EDIT", EditStyle, true, &EditActions);
        inside = {};
        inside.pump = pump;
        SetOnChar(edit, {});
        edit->OnKeyDown = MakeEvent<&KeyDown>(&inside);
        edit->OnMessage = MakeEvent<&FreeOnRequest>(&inside);
        ShowForm();
        SetFocus(edit->Handle);
        ASSERT_EQ(GetFocus(), edit->Handle);
        HWND window = edit->Handle;
        const int live = LiveObjectCount();

        SendMessageA(window, WM_KEYDOWN, 'A', 1);
        EXPECT_EQ(inside.liveInside, live) << "still alive while its event runs";
        EXPECT_TRUE(inside.pendingInside) << "marked as freed, window still there";
        if (pump) {
            EXPECT_TRUE(inside.pumpEnded) << "the nested pump ran dry";
        }
        EXPECT_EQ(LiveObjectCount(), live - 1) << "gone once the message is done";
        EXPECT_FALSE(IsWindow(window));
        EXPECT_TRUE(form->Children.empty());
        FreeObject(form);
        form_ = nullptr;
    }
}

TEST_F(MendTest, ACopiedIconGoesWithItsObjectAndMainFormIsCleared) {
    Control* applet = CreateControl(nullptr, "App", 0x90CA0000, true, nullptr);
    applet->IsApplet = true;
    applet->Icon = LoadIconA(nullptr, IDI_APPLICATION);
    applet->IconShared = true;
    AppletMade = true;
    Control* main = CreateForm(applet, "main");
    Control* second = CreateForm(applet, "second");
    ASSERT_NE(WindowHandle(main), nullptr);
    ASSERT_NE(WindowHandle(second), nullptr);
    HICON mainCopy = main->Icon;
    HICON secondCopy = second->Icon;
    ASSERT_NE(mainCopy, nullptr);
    ASSERT_NE(mainCopy, applet->Icon) << "each form has its own copy";
    ICONINFO info{};
    auto alive = [&info](HICON icon) {
        if (!GetIconInfo(icon, &info)) return false;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        return true;
    };
    ASSERT_TRUE(alive(mainCopy));

    HICON logo = LoadIconA(nullptr, IDI_WINLOGO);
    LoadWindowIcon(second, nullptr, IDI_WINLOGO);
    EXPECT_FALSE(alive(secondCopy)) << "a replaced copy is destroyed";
    LoadWindowIcon(second, nullptr, IDI_QUESTION);
    EXPECT_TRUE(alive(logo)) << "a replaced resource icon is not";

    // The system destroys the main form's window; the object stays until the applet goes.
    DestroyWindow(main->Handle);
    DrainQueue();
    applet->MainForm = second;
    FreeObject(second);
    EXPECT_EQ(applet->MainForm, nullptr) << "a freed form is no longer the main form";
    FreeObject(applet);
    EXPECT_FALSE(alive(mainCopy)) << "the copy went with the object, not with the window";
    EXPECT_TRUE(alive(LoadIconA(nullptr, IDI_APPLICATION))) << "the shared icon stays";
}

void WriteMarker(std::string* path, BaseObject*) {
    std::ofstream(*path, std::ios::app) << "applet freed\n";
}

// A form keeps its title bar however its styles are set: before the window is made or after,
// with the 3D look on or off, and the size lock's thick frame added to a made window.
TEST_F(MendTest, AFormKeepsItsCaptionWhateverOrderItsStylesAreSetIn) {
    const auto windowStyle = [](Control* ctl) {
        return static_cast<DWORD>(GetWindowLongA(ctl->Handle, GWL_STYLE));
    };
    Control* early = MakeForm();
    SetStyle(early, early->Style & ~WS_MAXIMIZEBOX);
    ShowForm();
    EXPECT_EQ(windowStyle(early) & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
    EXPECT_FALSE(windowStyle(early) & WS_MAXIMIZEBOX);
    FreeObject(early);

    Control* late = MakeForm();
    ShowForm();
    SetStyle(late, late->Style & ~WS_MAXIMIZEBOX);
    SetCtl3D(late, false);
    SetCtl3D(late, true);
    SetCanResize(late, false);
    const DWORD style = windowStyle(late);
    EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION)) << std::hex << style;
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_VISIBLE) << "a style change leaves the window on screen";
    EXPECT_TRUE(GetWindowLongA(late->Handle, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    // The title bar is really there: the window answers for it.
    RECT outer{};
    GetWindowRect(late->Handle, &outer);
    POINT client{0, 0};
    ClientToScreen(late->Handle, &client);
    const POINT title{(outer.left + outer.right) / 2, (outer.top + client.y) / 2};
    EXPECT_EQ(SendMessageA(late->Handle, WM_NCHITTEST, 0, MAKELPARAM(title.x, title.y)), HTCAPTION);

    // A child's plain border is still what the 3D look trades for the client edge.
    Control* box = CreateControl(late, "EDIT", EditStyle | WS_BORDER, true, &EditActions);
    EXPECT_FALSE(box->Style & WS_BORDER);
    EXPECT_TRUE(box->ExStyle & WS_EX_CLIENTEDGE);
}

// Runs only in the child process that FormEndSession.FreesTheAppletAndEndsTheProcessAtOnce
// starts.
TEST(FormEndSession, DISABLED_Child) {
    const char* variable = getenv("VARNOK_MARKER");
    ASSERT_NE(variable, nullptr);
    static std::string marker = variable;
    Control* applet = CreateControl(nullptr, "App", 0x90CA0000, true, nullptr);
    applet->IsApplet = true;
    AppletMade = true;
    applet->OnDestroy = MakeEvent<&WriteMarker>(&marker);
    Control* form = CreateForm(applet, "main");
    Applet = applet;
    AppletRunning = 1;
    ASSERT_NE(WindowHandle(form), nullptr);
    SendMessageA(form->Handle, WM_ENDSESSION, TRUE, 0);
    std::ofstream(marker, std::ios::app) << "returned\n";
}

TEST(FormEndSession, FreesTheAppletAndEndsTheProcessAtOnce) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string marker =
        std::string(folder) + "varnok_endsession_" + std::to_string(GetCurrentProcessId());
    DeleteFileA(marker.c_str());
    SetEnvironmentVariableA("VARNOK_MARKER", marker.c_str());
    std::string command =
        std::string("\"") + exe +
        "\" --gtest_also_run_disabled_tests --gtest_filter=FormEndSession.DISABLED_Child";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    SetEnvironmentVariableA("VARNOK_MARKER", nullptr);
    std::stringstream text;
    text << std::ifstream(marker).rdbuf();
    DeleteFileA(marker.c_str());
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(text.str(), "applet freed\n") << "freed, and nothing ran after the message";
}
} // namespace
