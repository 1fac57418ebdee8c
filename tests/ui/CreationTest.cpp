// Windows are made lazily, parents first, and are destroyed with their objects.
#include "UiTest.h"

#include <algorithm>

namespace {
std::vector<Control*> created;
void RecordCreation(Control* ctl) { created.push_back(ctl); }

std::string ClassOf(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

using CreationTest = UiTest;

TEST_F(CreationTest, SettersWorkBeforeTheWindowAndReachItWhenMade) {
    Control* form = MakeForm();
    Control* button = MakeButton(form, "Разделить");
    EXPECT_EQ(button->Handle, nullptr);
    EXPECT_EQ(form->Handle, nullptr) << "no window is made by configuring";
    EXPECT_EQ(GetText(button), "Разделить");

    ASSERT_NE(WindowHandle(button), nullptr);
    char text[64] = {};
    GetWindowTextA(button->Handle, text, sizeof text);
    EXPECT_STREQ(text, "Разделить");
    SetText(button, "Соединить");
    GetWindowTextA(button->Handle, text, sizeof text);
    EXPECT_STREQ(text, "Соединить");
    SetWindowTextA(button->Handle, "typed");
    EXPECT_EQ(GetText(button), "typed") << "with a window the text is read from it";
}

TEST_F(CreationTest, ParentsAreMadeBeforeChildrenInCreationOrder) {
    created.clear();
    Control* form = MakeForm();
    Control* first = MakeButton(form, "first");
    Control* box = CreateControl(form, "BUTTON", 0x56030007, false, &ButtonActions);
    Control* inner = MakeButton(box, "inner");
    for (Control* c : {form, first, box, inner}) c->OnCreateWindow = RecordCreation;
    EXPECT_EQ(box->Id, first->Id + 1u);
    EXPECT_EQ(inner->Id, box->Id + 1u);

    ASSERT_NE(WindowHandle(inner), nullptr);
    EXPECT_EQ(created, (std::vector<Control*>{form, first, box, inner}));
    EXPECT_EQ(GetParent(first->Handle), form->Handle);
    EXPECT_EQ(GetParent(inner->Handle), box->Handle);
    EXPECT_EQ(GetDlgCtrlID(inner->Handle), static_cast<int>(inner->Id));
    EXPECT_EQ(ClassOf(form->Handle), "obj_Form");
    EXPECT_EQ(ClassOf(first->Handle), "obj_BUTTON");
    EXPECT_EQ(ControlOfWindow(inner->Handle), inner);

    form->CreateWindow();
    EXPECT_EQ(created.size(), 4u) << "existing windows are not made again";
}

TEST_F(CreationTest, WindowsMadeEarlyAreShownWhenTheRunLoopMakesTheRest) {
    Control* form = MakeForm();
    Control* shown = MakeButton(form, "shown");
    Control* hidden = MakeButton(form, "hidden");
    SetVisible(hidden, false);

    ASSERT_NE(WindowHandle(shown), nullptr);
    EXPECT_FALSE(IsWindowVisible(form->Handle)) << "made on demand, so hidden until the run";
    EXPECT_TRUE(form->ShowOnRun);

    ASSERT_TRUE(form->CreateWindow());
    EXPECT_TRUE(IsWindowVisible(form->Handle));
    EXPECT_FALSE(form->ShowOnRun);
    EXPECT_TRUE(IsWindowVisible(shown->Handle));
    ASSERT_NE(hidden->Handle, nullptr);
    EXPECT_FALSE(IsWindowVisible(hidden->Handle)) << "an explicitly hidden control stays hidden";
}

struct CreationWitness {
    Control* ctl = nullptr;
    int messages = 0;
    int withHandle = 0;
    int withProperty = 0;
    bool sawCreate = false;
};
bool WatchCreation(CreationWitness* w, Message& m, LRESULT&) {
    ++w->messages;
    if (m.msg == WM_NCCREATE || m.msg == WM_CREATE) w->sawCreate = true;
    if (w->ctl->Handle == m.window && m.window) ++w->withHandle;
    if (GetPropA(m.window, "SELF_") == w->ctl) ++w->withProperty;
    return false;
}

TEST_F(CreationTest, MessagesDuringCreationReachTheObjectWithItsHandle) {
    Control* form = MakeForm();
    CreationWitness witness{form};
    form->OnMessage = MakeEvent<&WatchCreation>(&witness);
    ASSERT_NE(WindowHandle(form), nullptr);
    EXPECT_TRUE(witness.sawCreate) << "WM_NCCREATE and WM_CREATE reach the object";
    EXPECT_EQ(witness.withHandle, witness.messages);
    EXPECT_EQ(witness.withProperty, witness.messages);
    EXPECT_EQ(CreatingWindow, nullptr);
}

TEST_F(CreationTest, ASystemClassKeepsItsBehaviour) {
    Control* form = MakeForm();
    Control* check = CreateControl(form, "BUTTON", 0x50010003, false, &ButtonActions);
    ASSERT_NE(WindowHandle(check), nullptr);
    EXPECT_NE(check->DefaultProc, nullptr);
    EXPECT_EQ(form->DefaultProc, nullptr) << "a form falls back to DefWindowProcA";
    SendMessageA(check->Handle, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageA(check->Handle, BM_GETCHECK, 0, 0), BST_CHECKED);
    const DWORD classStyle = GetClassLongA(check->Handle, GCL_STYLE);
    EXPECT_EQ(classStyle & ~ClassStyleMask, 0u) << "no own, class, parent or global DC";
}

TEST_F(CreationTest, AChildWithoutParentWindowIsNotMade) {
    Control* orphan = CreateControl(nullptr, "BUTTON", ButtonStyle, false, &ButtonActions);
    EXPECT_EQ(WindowHandle(orphan), nullptr);
    EXPECT_EQ(WindowHandle(orphan), nullptr) << "a later call tries again and fails again";
    EXPECT_EQ(CreatingWindow, nullptr);
    FreeObject(orphan);
}

void LogDestroy(Recorder* r, BaseObject* sender) {
    r->log.push_back(GetText(static_cast<Control*>(sender)));
}

TEST_F(CreationTest, DestructionFreesOwnedObjectsThenChildrenLastMadeFirst) {
    Recorder recorder;
    Control* form = MakeForm();
    SetText(form, "form");
    Control* first = MakeButton(form, "first");
    Control* box = CreateControl(form, "BUTTON", 0x56030007, false, &ButtonActions);
    SetText(box, "box");
    Control* inner = MakeButton(box, "inner");
    for (Control* c : {form, first, box, inner}) c->OnDestroy = MakeEvent<&LogDestroy>(&recorder);
    AddAutoFree(form, MakeNamed(&recorder, "older"));
    AddAutoFree(form, MakeNamed(&recorder, "newer"));
    ShowForm();
    const std::vector<HWND> windows{form->Handle, first->Handle, box->Handle, inner->Handle};

    departures.clear();
    HHOOK hook =
        SetWindowsHookExA(WH_CALLWNDPROCRET, AfterWindowProc, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    FreeObject(form);
    form_ = nullptr;
    UnhookWindowsHookEx(hook);

    EXPECT_EQ(recorder.log,
              (std::vector<std::string>{"form", "newer", "older", "box", "inner", "first"}));
    for (HWND w : windows) EXPECT_FALSE(IsWindow(w));
    size_t seen = 0;
    for (const Departure& d : departures) {
        if (d.msg != WM_NCDESTROY) continue;
        if (std::find(windows.begin(), windows.end(), d.window) == windows.end()) continue;
        ++seen;
        EXPECT_FALSE(d.hadSelf) << "SELF_ left on a window";
    }
    EXPECT_EQ(seen, windows.size());
}

TEST_F(CreationTest, FreeingOneChildLeavesItsParentWhole) {
    Control* form = MakeForm();
    Control* keep = MakeButton(form, "keep");
    Control* edit = CreateControl(form, "EDIT", EditStyle, true, &EditActions);
    EXPECT_EQ(form->CurrentControl, keep) << "the first tab-stop control takes the focus";
    ShowForm();
    HWND editWindow = edit->Handle;
    form->CurrentControl = edit;

    FreeObject(edit);
    EXPECT_FALSE(IsWindow(editWindow));
    EXPECT_EQ(form->Children, std::vector<Control*>{keep});
    EXPECT_EQ(form->CurrentControl, nullptr);
    EXPECT_TRUE(IsWindow(keep->Handle));
}

TEST_F(CreationTest, AWindowTheSystemDestroysTakesItsObjectAlong) {
    Control* applet = CreateControl(nullptr, "App", 0x90CA0000, true, nullptr);
    applet->IsApplet = true;
    AppletMade = true;
    Control* mainForm = CreateControl(applet, "Form", DefaultStyle, true, nullptr);
    mainForm->IsForm = true;
    Control* other = CreateControl(applet, "Form", DefaultStyle, true, nullptr);
    other->IsForm = true;
    MakeButton(other, "inside");
    SetVisible(applet, true);
    ASSERT_NE(WindowHandle(applet), nullptr);
    ASSERT_NE(other->Handle, nullptr);
    EXPECT_EQ(GetWindow(other->Handle, GW_OWNER), applet->Handle);
    const int live = LiveObjectCount();

    SendMessageA(other->Handle, WM_CLOSE, 0, 0);
    EXPECT_EQ(LiveObjectCount(), live - 2) << "the form and its button are freed";
    EXPECT_EQ(applet->Children, std::vector<Control*>{mainForm});
    EXPECT_FALSE(DrainQueue()) << "closing another form does not end the program";

    SendMessageA(mainForm->Handle, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(mainForm->Handle)) << "the main form stays until the applet goes";
    EXPECT_TRUE(DrainQueue()) << "closing the main form ends the run loop";
    FreeObject(applet);
}
} // namespace
