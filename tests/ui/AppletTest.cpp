// The applet: its window, focus and minimising, the message boxes, ProcessMessages, and the
// run loop, which runs in a child process of this test program and must end and free all.
#include "DialogWatcher.h"
#include "UiTest.h"

#include <cstdlib>

#include "ui/Applet.h"
#include "ui/Menu.h"

namespace {
constexpr const char* ChildScenarioVariable = "VARNOK_RUN_LOOP_CHILD";
const std::vector<std::string> ProgramMenu = {
    "&Файл",    "(",       "Разделить",   "Соединить", "-", "Выход",  ")", "&Приоритет",  "(",
    "Реальный", "Высокий", "+Нормальный", "Низкий",    ")", "Помощь", "(", "О Программе", ")",
    ""};
constexpr int ExitItem = 4;

class AppletTest : public UiTest {
  protected:
    // The applet with a main form below it; both are freed by the fixture.
    Control* MakeAppletWithForm() {
        applet_ = CreateApplet("Varnok");
        form_ = applet_;
        mainForm_ = CreateControl(applet_, "Form", DefaultStyle, true, nullptr);
        mainForm_->IsForm = true;
        mainForm_->Bounds = {60, 50, 460, 350};
        mainForm_->PositionSet = 3;
        return mainForm_;
    }
    Control* applet_ = nullptr;
    Control* mainForm_ = nullptr;
};

TEST_F(AppletTest, TheAppletWindowIsATitledPopupWithAReducedSystemMenu) {
    Control* form = MakeAppletWithForm();
    ASSERT_TRUE(applet_->CreateWindow());
    HWND window = applet_->Handle;
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    EXPECT_STREQ(name, "obj_App");
    EXPECT_EQ(watch::TextOf(window), "Varnok");
    EXPECT_EQ(applet_->Style, 0x90CA0000u);
    const auto style = static_cast<uint32_t>(GetWindowLongA(window, GWL_STYLE));
    EXPECT_EQ(style & 0x90CA0000u, 0x90CA0000u) << "popup, caption, system menu, minimise box";
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX));
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & (WS_EX_APPWINDOW | WS_EX_CLIENTEDGE),
              WS_EX_APPWINDOW);
    EXPECT_EQ(GetWindow(form->Handle, GW_OWNER), window) << "the form is owned by the applet";

    HMENU system = GetSystemMenu(window, FALSE);
    ASSERT_NE(system, nullptr);
    for (UINT gone : {SC_SIZE, SC_MOVE, SC_MAXIMIZE}) {
        EXPECT_EQ(GetMenuState(system, gone, MF_BYCOMMAND), 0xFFFFFFFFu) << gone;
    }
    EXPECT_TRUE(GetMenuState(system, SC_RESTORE, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_NE(GetMenuState(system, SC_CLOSE, MF_BYCOMMAND), 0xFFFFFFFFu);
}

TEST_F(AppletTest, FocusGivenToTheAppletGoesToTheFormsControl) {
    Control* form = MakeAppletWithForm();
    Control* edit = CreateControl(form, "EDIT", EditStyle, true, &EditActions);
    SetVisible(applet_, true);
    SetVisible(form, true);
    ASSERT_TRUE(applet_->CreateWindow());
    applet_->CurrentControl = edit;
    SetFocus(applet_->Handle);
    DrainQueue();
    EXPECT_EQ(GetFocus(), edit->Handle);
}

TEST_F(AppletTest, MinimisingTheFormMinimisesTheAppletAndHidesTheFormUntilRestored) {
    Control* form = MakeAppletWithForm();
    SetVisible(applet_, true);
    SetVisible(form, true);
    ASSERT_TRUE(applet_->CreateWindow());
    MinimizeFromFormPlace(form);
    EXPECT_EQ(applet_->MainForm, form);
    SetActiveWindow(form->Handle);
    DrainQueue();
    RECT place{};
    GetWindowRect(form->Handle, &place);

    SendMessageA(form->Handle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsIconic(applet_->Handle)) << "the form only asks the applet, by a post";
    DrainQueue();
    EXPECT_TRUE(IsIconic(applet_->Handle));
    EXPECT_FALSE(IsWindowVisible(form->Handle)) << "the form goes down with the applet";
    EXPECT_FALSE(IsIconic(form->Handle));
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(applet_->Handle, &placement);
    EXPECT_EQ(placement.rcNormalPosition.left, place.left) << "minimised from the form's place";
    EXPECT_EQ(placement.rcNormalPosition.top, place.top);
    EXPECT_EQ(placement.rcNormalPosition.right - placement.rcNormalPosition.left,
              place.right - place.left);

    SendMessageA(applet_->Handle, WM_SYSCOMMAND, SC_RESTORE, 0);
    DrainQueue();
    EXPECT_FALSE(IsIconic(applet_->Handle));
    EXPECT_TRUE(IsWindowVisible(form->Handle)) << "restoring the taskbar entry shows the form";
}

TEST_F(AppletTest, MinimizeFromFormPlaceNeedsAnAppletAndForgetsAFreedForm) {
    Control* lone = MakeForm();
    const size_t handlers = lone->Handlers.size();
    MinimizeFromFormPlace(lone);
    EXPECT_EQ(lone->Handlers.size(), handlers) << "without an applet nothing is attached";
    EXPECT_EQ(lone->MainForm, nullptr);
    FreeObject(lone);

    Control* form = MakeAppletWithForm();
    MinimizeFromFormPlace(form);
    ASSERT_EQ(applet_->MainForm, form);
    FreeObject(form);
    EXPECT_EQ(applet_->MainForm, nullptr);
}

TEST_F(AppletTest, ProcessMessagesDispatchesAllWaitingAndTakesTheQuitAsTheEnd) {
    Control* form = MakeAppletWithForm();
    ShowForm();
    static std::vector<UINT> seen;
    seen.clear();
    form->OnMessage.proc = [](void*, Message& m, LRESULT&) {
        if (m.msg >= WM_APP) seen.push_back(m.msg);
        return false;
    };
    PostMessageA(form->Handle, WM_APP + 1, 0, 0);
    PostQuitMessage(0);
    PostMessageA(form->Handle, WM_APP + 2, 0, 0);
    ASSERT_FALSE(AppletTerminated);
    ProcessMessages();
    EXPECT_TRUE(AppletTerminated);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_APP + 1, WM_APP + 2}));
    MSG left;
    EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE)) << "the queue is empty";
}

TEST_F(AppletTest, MessageBoxesCarryTheTitleHaveNoOwnerAndReturnTheButton) {
    Control* form = MakeAppletWithForm();
    SetVisible(form, true);
    ASSERT_TRUE(applet_->CreateWindow());
    Applet = applet_;
    std::string caption;
    bool textShown = false;
    HWND owner = reinterpret_cast<HWND>(1);
    bool formUsable = false;
    DialogWatcher cancel([&](HWND box) {
        caption = watch::TextOf(box);
        for (const std::string& text : watch::ChildTexts(box)) {
            textShown |= text == "Вставьте диск";
        }
        owner = GetWindow(box, GW_OWNER);
        formUsable = IsWindowEnabled(form->Handle);
        watch::Press(box, IDCANCEL);
    });
    EXPECT_EQ(MessageBoxFlags("Вставьте диск", MB_OKCANCEL), IDCANCEL);
    EXPECT_TRUE(cancel.Finish());
    EXPECT_EQ(caption, "Varnok");
    EXPECT_TRUE(textShown);
    EXPECT_EQ(owner, nullptr);
    EXPECT_TRUE(formUsable) << "the main window stays usable while a box is shown";

    DialogWatcher ok([](HWND box) { watch::Press(box, IDOK); });
    EXPECT_EQ(MessageBoxOk("Готово"), IDOK);
    EXPECT_TRUE(ok.Finish());
}

// The run loop, in a child process: this program starts itself with the scenario in the
// environment, and the child runs only the test registered for it.
struct CloseCount {
    int asked = 0;
};
void RefuseFirstClose(CloseCount* count, Control*, bool& accept) { accept = ++count->asked > 1; }
void ExitChosen(Control* applet, MenuObject*, int) { PostClose(applet); }

// A visible top-level window of this process with the layer's form class.
HWND FindFormWindow() {
    const std::vector<HWND> forms = watch::VisibleWindows("obj_Form");
    return forms.empty() ? nullptr : forms.front();
}

class RunLoopChild : public ::testing::Test {
  public:
    explicit RunLoopChild(std::string scenario) : scenario_(std::move(scenario)) {}
    void TestBody() override {
        const int before = LiveObjectCount();
        Recorder recorder;
        CloseCount closes;
        Control* applet = CreateApplet("Varnok");
        Control* form = CreateControl(applet, "Form", DefaultStyle, true, nullptr);
        form->IsForm = true;
        SetText(form, "Varnok");
        CreateControl(form, "BUTTON", ButtonStyle, false, &ButtonActions);
        AddAutoFree(form, MakeNamed(&recorder, "holder"));
        form->OnClose = MakeEvent<&RefuseFirstClose>(&closes);
        MenuObject* menu = CreateMenuFromTemplate(form, ProgramMenu, {});
        SetMenuItemEvents(menu, ExitItem, {MakeEvent<&ExitChosen>(applet)});
        const WPARAM exitCommand = MenuItem(menu, ExitItem)->CommandId;

        HWND formWindow = nullptr;
        bool stayedAfterRefusal = false;
        std::thread user([&] {
            if (!watch::WaitFor([&] { return (formWindow = FindFormWindow()) != nullptr; })) {
                return;
            }
            if (scenario_ == "exit-item") {
                PostMessageA(formWindow, WM_COMMAND, exitCommand, 0);
                return;
            }
            // The first close is refused by OnClose, the second one ends the program.
            SendMessageA(formWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
            stayedAfterRefusal = IsWindowVisible(formWindow) != FALSE;
            SendMessageA(formWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        RunApplet(applet);
        user.join();

        ASSERT_NE(formWindow, nullptr) << "the run loop showed the form";
        EXPECT_EQ(applet, nullptr);
        EXPECT_EQ(Applet, nullptr);
        EXPECT_EQ(AppletRunning, 0);
        EXPECT_FALSE(IsWindow(formWindow));
        EXPECT_EQ(recorder.log, std::vector<std::string>{"holder"});
        EXPECT_EQ(LiveObjectCount(), before) << "every object is freed";
        if (scenario_ != "exit-item") {
            EXPECT_TRUE(stayedAfterRefusal);
            EXPECT_EQ(closes.asked, 2);
        }
    }

  private:
    std::string scenario_;
};

[[maybe_unused]] const bool childRegistered = [] {
    const char* scenario = std::getenv(ChildScenarioVariable);
    if (!scenario) return false;
    ::testing::RegisterTest("RunLoopChild", scenario, nullptr, nullptr, __FILE__, __LINE__,
                            [s = std::string(scenario)] { return new RunLoopChild(s); });
    return true;
}();

// Runs this program again for one scenario; its exit code, or -1 when it did not end.
DWORD RunChild(const char* scenario) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string command = std::string("\"") + exe + "\" --gtest_filter=RunLoopChild.*";
    SetEnvironmentVariableA(ChildScenarioVariable, scenario);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(exe, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    SetEnvironmentVariableA(ChildScenarioVariable, nullptr);
    if (!started) return static_cast<DWORD>(-2);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(RunLoop, ClosingTheMainFormEndsTheLoopAndFreesEverything) {
    EXPECT_EQ(RunChild("system-close"), 0u);
}

TEST(RunLoop, TheExitMenuItemClosesTheAppletAndEndsTheLoop) {
    EXPECT_EQ(RunChild("exit-item"), 0u);
}
} // namespace
