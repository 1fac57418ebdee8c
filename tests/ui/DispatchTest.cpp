// Messages reach their objects: attached handlers, reflected commands and colours,
// notifications, keys, dropped files, the combo box's edit field and closing.
#include "UiTest.h"

#include <commctrl.h>
#include <cstring>
#include <shlobj.h>

namespace {
using DispatchTest = UiTest;
constexpr UINT Probe = WM_APP + 7;

std::string order;
bool HandlerA(Control*, Message& m, LRESULT&) {
    if (m.msg == Probe) order += "A";
    return false;
}
bool HandlerB(Control*, Message& m, LRESULT& result) {
    if (m.msg != Probe) return false;
    order += "B";
    result = 42;
    return m.wParam == 1; // wParam 1: B stops the walk
}
bool SurvivorHandler(Control*, Message& m, LRESULT&) {
    if (m.msg == Probe) order += "S";
    return false;
}

TEST_F(DispatchTest, LaterHandlersRunFirstAndCanStopEarlierOnes) {
    Control* form = MakeForm();
    AttachHandler(form, HandlerA);
    AttachHandler(form, HandlerB);
    AttachHandler(form, HandlerA);
    EXPECT_TRUE(IsHandlerAttached(form, HandlerB));
    EXPECT_FALSE(IsHandlerAttached(form, SurvivorHandler));
    ASSERT_NE(WindowHandle(form), nullptr);

    order.clear();
    EXPECT_EQ(SendMessageA(form->Handle, Probe, 0, 0), 0) << "not handled: default result";
    EXPECT_EQ(order, "BA") << "attaching the same handler twice adds it once";
    order.clear();
    EXPECT_EQ(SendMessageA(form->Handle, Probe, 1, 0), 42);
    EXPECT_EQ(order, "B");

    AttachHandlerEx(form, SurvivorHandler, true);
    AppletTerminated = true;
    order.clear();
    SendMessageA(form->Handle, Probe, 0, 0);
    EXPECT_EQ(order, "S") << "after termination only flagged handlers run";
    AppletTerminated = false;
}

struct SelfFree {
    int destroyMessages = 0;
    bool aliveInHandler = false;
};
SelfFree selfFree;
bool CountDestroyMessages(Control*, Message& m, LRESULT&) {
    if (m.msg == WM_DESTROY || m.msg == WM_NCDESTROY) ++selfFree.destroyMessages;
    return false;
}
bool CountDestroyEvents(SelfFree* state, Message& m, LRESULT&) {
    if (m.msg == WM_DESTROY || m.msg == WM_NCDESTROY) ++state->destroyMessages;
    return false;
}
void FreeMyself(SelfFree* state, Control* sender) {
    FreeObject(sender);
    state->aliveInHandler = IsWindow(sender->Handle) && sender->RefCount > 0;
}

TEST_F(DispatchTest, AControlFreedByItsOwnHandlerGoesAfterTheHandler) {
    Control* form = MakeForm();
    Control* button = MakeButton(form, "free me");
    AttachHandler(button, CountDestroyMessages);
    selfFree = {};
    button->OnMessage = MakeEvent<&CountDestroyEvents>(&selfFree);
    button->OnClick = MakeEvent<&FreeMyself>(&selfFree);
    ShowForm();
    HWND buttonWindow = button->Handle;
    const int live = LiveObjectCount();

    SendMessageA(buttonWindow, BM_CLICK, 0, 0);
    EXPECT_TRUE(selfFree.aliveInHandler);
    EXPECT_EQ(LiveObjectCount(), live - 1);
    EXPECT_FALSE(IsWindow(buttonWindow));
    EXPECT_TRUE(form->Children.empty());
    EXPECT_EQ(selfFree.destroyMessages, 0) << "no handler or event runs once destruction began";
}

// Frees its control and leaves the message unhandled; the message still counts as handled.
bool FreeOnProbe(Control* ctl, Message& m, LRESULT& result) {
    if (m.msg != Probe) return false;
    FreeObject(ctl);
    result = 55;
    return false;
}

TEST_F(DispatchTest, AMessageWhoseHandlerFreedTheControlCountsAsHandled) {
    Control* form = MakeForm();
    Control* button = MakeButton(form, "gone");
    AttachHandler(button, FreeOnProbe);
    ASSERT_NE(WindowHandle(button), nullptr);
    HWND window = button->Handle;
    EXPECT_EQ(SendMessageA(window, Probe, 0, 0), 55) << "no processing after the free";
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(form->Children.empty());
}

struct ClickTrace {
    std::string steps;
};
ClickTrace* clickTrace = nullptr;
void TraceClickAction(Control*) { clickTrace->steps += "action,"; }
void TraceOnClick(ClickTrace* t, Control*) { t->steps += "click,"; }

TEST_F(DispatchTest, ReflectedCommandsFireTheMatchingEvent) {
    Control* form = MakeForm();
    Control* button = MakeButton(form, "Разделить");
    ClickTrace trace;
    clickTrace = &trace;
    button->ClickAction = TraceClickAction;
    button->OnClick = MakeEvent<&TraceOnClick>(&trace);
    Recorder recorder;
    button->OnEnter = MakeEvent<&LogEnter>(&recorder);
    button->OnLeave = MakeEvent<&LogLeave>(&recorder);
    ShowForm();

    SendMessageA(button->Handle, BM_CLICK, 0, 0);
    EXPECT_EQ(trace.steps, "action,click,") << "a real click, the kind's step first";

    button->FocusGuard = 1;
    SendMessageA(button->Handle, BM_CLICK, 0, 0);
    EXPECT_EQ(trace.steps, "action,click,") << "no click while the layer moves the focus";
    button->FocusGuard = 0;

    auto command = [&](WORD code, HWND from) {
        return SendMessageA(form->Handle, WM_COMMAND, MAKEWPARAM(button->Id, code),
                            reinterpret_cast<LPARAM>(from));
    };
    command(BN_SETFOCUS, button->Handle);
    command(BN_KILLFOCUS, button->Handle);
    command(BN_DOUBLECLICKED, button->Handle);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"enter", "leave"}));

    HWND foreign = CreateWindowExA(0, "BUTTON", "foreign", WS_CHILD, 0, 0, 10, 10, form->Handle,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
    command(BN_SETFOCUS, foreign);
    EXPECT_EQ(recorder.log.size(), 2u) << "a window without object gets default processing";
    DestroyWindow(foreign);
}

TEST_F(DispatchTest, TheFirstEqualCodeWinsAndSelectionFallsBackToChange) {
    Control* form = MakeForm();
    const Actions same{.Change = 0x300, .SelChange = 0x300};
    const Actions distinct{.Change = 0x300, .SelChange = 0x301};
    Control* a = CreateControl(form, "STATIC", 0x5000018C, false, &same);
    Control* b = CreateControl(form, "STATIC", 0x5000018C, false, &distinct);
    Recorder ra, rb;
    a->OnChange = MakeEvent<&LogChange>(&ra);
    a->OnSelChange = MakeEvent<&LogSelChange>(&ra);
    a->OnClick = MakeEvent<&LogClick>(&ra);
    b->OnChange = MakeEvent<&LogChange>(&rb);
    ShowForm();

    auto command = [&](Control* c, WORD code) {
        SendMessageA(form->Handle, WM_COMMAND, MAKEWPARAM(c->Id, code),
                     reinterpret_cast<LPARAM>(c->Handle));
    };
    command(a, 0x300);
    command(a, 0);
    command(b, 0x301);
    EXPECT_EQ(ra.log, (std::vector<std::string>{"change", "click"}));
    EXPECT_EQ(rb.log, std::vector<std::string>{"change"}) << "no OnSelChange: OnChange fires";
}

TEST_F(DispatchTest, TypingIntoAnEditBoxFiresOnChange) {
    Control* form = MakeForm();
    Control* edit = CreateControl(form, "EDIT", EditStyle, true, &EditActions);
    Recorder recorder;
    edit->OnChange = MakeEvent<&LogChange>(&recorder);
    edit->OnEnter = MakeEvent<&LogEnter>(&recorder);
    ShowForm();
    SetFocus(edit->Handle);
    EXPECT_EQ(form->CurrentControl, edit);
    SendMessageA(edit->Handle, WM_CHAR, '7', 0);
    EXPECT_EQ(GetText(edit), "7");
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"enter", "change"}));
}

TEST_F(DispatchTest, ColourRequestsAreAnsweredByTheChildWithSharedBrushes) {
    Control* form = MakeForm();
    Control* one = MakeButton(form, "one");
    Control* two = MakeButton(form, "two");
    one->TextColor = RGB(200, 0, 0);
    Control* box = CreateControl(form, "BUTTON", 0x56030007, false, &ButtonActions);
    box->Color = RGB(0, 120, 0);
    Control* inBox = MakeButton(box, "in box");
    Control* clear = MakeButton(form, "clear");
    clear->Transparent = true;
    ShowForm();

    HDC dc = GetDC(form->Handle);
    auto request = [&](Control* c) {
        return reinterpret_cast<HBRUSH>(SendMessageA(form->Handle, WM_CTLCOLORBTN,
                                                     reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(c->Handle)));
    };
    HBRUSH brushOne = request(one);
    EXPECT_EQ(GetTextColor(dc), RGB(200, 0, 0));
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_NE(brushOne, nullptr);
    EXPECT_EQ(request(two), brushOne) << "one colour, one brush";
    EXPECT_EQ(form->BrushHandle, brushOne) << "kept by the topmost control of that colour";

    HBRUSH green = request(inBox);
    EXPECT_NE(green, brushOne);
    EXPECT_EQ(green, box->BrushHandle);
    EXPECT_EQ(GetBkColor(dc), RGB(0, 120, 0));
    EXPECT_EQ(request(box), green);

    EXPECT_EQ(request(clear), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    ReleaseDC(form->Handle, dc);
}

int reflectedStaticColours = 0;
bool CountStaticColour(Control*, Message& m, LRESULT&) {
    if (m.msg == WM_CTLCOLORSTATIC + ReflectedColorOffset) ++reflectedStaticColours;
    return false;
}

TEST_F(DispatchTest, APaintingLabelAsksItsOwnObjectForColours) {
    Control* form = MakeForm();
    Control* label = CreateControl(form, "STATIC", 0x5000018C, false, nullptr);
    SetText(label, "Статус : ");
    AttachHandler(label, CountStaticColour);
    ShowForm();
    reflectedStaticColours = 0;
    RedrawWindow(label->Handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_GT(reflectedStaticColours, 0);
}

struct NotifyTrace {
    std::vector<std::string> log;
    HWND seenWindow = nullptr;
};
NotifyTrace* notifyTrace = nullptr;
void NotifyClick(NotifyTrace* t, Control* sender) {
    t->log.push_back(sender->RightClick ? "right" : "left");
}
void NotifyLeave(NotifyTrace* t, Control*) { t->log.push_back("leave"); }
void NotifyEnter(NotifyTrace* t, Control*) { t->log.push_back("enter"); }
bool SeeNotify(Control*, Message& m, LRESULT& result) {
    if (m.msg != WM_NOTIFY) return false;
    notifyTrace->seenWindow = m.window;
    result = 77;
    return reinterpret_cast<NMHDR*>(m.lParam)->code == 12345;
}

TEST_F(DispatchTest, CommonControlNotificationsReachTheChild) {
    Control* form = MakeForm();
    Control* bar = CreateCommonControl(form, "msctls_statusbar32", 0x56000003, false, nullptr);
    Control* second = CreateCommonControl(form, "msctls_statusbar32", 0x56000003, false, nullptr);
    EXPECT_EQ(form->Handlers.size(), 2u) << "one control handler and one notify forwarder";
    NotifyTrace trace;
    notifyTrace = &trace;
    bar->OnClick = MakeEvent<&NotifyClick>(&trace);
    bar->OnLeave = MakeEvent<&NotifyLeave>(&trace);
    bar->OnEnter = MakeEvent<&NotifyEnter>(&trace);
    AttachHandler(second, SeeNotify);
    ShowForm();

    auto notify = [&](Control* from, UINT code) {
        NMHDR header{from->Handle, from->Id, code};
        return SendMessageA(form->Handle, WM_NOTIFY, from->Id, reinterpret_cast<LPARAM>(&header));
    };
    for (UINT code : {NM_CLICK, NM_RCLICK, NM_KILLFOCUS, NM_SETFOCUS, NM_RETURN}) {
        EXPECT_EQ(notify(bar, code), 0);
    }
    EXPECT_EQ(trace.log, (std::vector<std::string>{"left", "right", "leave", "enter", "enter"}));

    EXPECT_EQ(notify(second, 12345), 77) << "the child's handler answers for the parent";
    EXPECT_EQ(trace.seenWindow, second->Handle);
}

struct Keys {
    std::string seen;
};
void FilterKeys(Keys* keys, Control*, WPARAM& key, uint32_t) {
    keys->seen += static_cast<char>(key);
    if (key == 'x') key = 0;
    if (key == 'a') key = 'b';
}

TEST_F(DispatchTest, CharactersPassTheKeyHandlerAndTabNeverArrives) {
    Control* form = MakeForm();
    Control* other = CreateControl(form, "EDIT", EditStyle, true, &EditActions);
    Control* edit =
        CreateControl(form, "EDIT", EditStyle | ES_MULTILINE | ES_WANTRETURN, true, &EditActions);
    Keys keys;
    SetOnChar(edit, MakeEvent<&FilterKeys>(&keys));
    ShowForm();
    SetFocus(edit->Handle);
    ASSERT_EQ(GetFocus(), edit->Handle);

    for (char c : {'a', 'x', 'c'}) SendMessageA(edit->Handle, WM_CHAR, c, 1);
    EXPECT_EQ(keys.seen, "axc");
    EXPECT_EQ(GetText(edit), "bc") << "a key set to 0 is swallowed, a changed key arrives";

    SendMessageA(edit->Handle, WM_CHAR, VK_TAB, 1);
    EXPECT_EQ(keys.seen, "axc\t") << "the handler sees the Tab";
    EXPECT_EQ(GetText(edit), "bc") << "no Tab character";
    EXPECT_EQ(GetFocus(), edit->Handle) << "Tab moves no focus";

    SendMessageA(other->Handle, WM_CHAR, 'z', 1);
    EXPECT_EQ(GetText(other), "") << "keys reach only the control that has the focus";
}

HGLOBAL MakeDrop(const std::vector<std::string>& names, POINT at) {
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& n : names) size += n.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = at;
    char* text = reinterpret_cast<char*>(drop + 1);
    for (const std::string& n : names) {
        memcpy(text, n.c_str(), n.size() + 1);
        text += n.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

struct Dropped {
    std::vector<std::string> names;
    POINT point{};
};
void OnDrop(Dropped* d, Control*, const std::string& names, POINT point) {
    d->names.push_back(names);
    d->point = point;
}

TEST_F(DispatchTest, DroppedFilesArriveAsOneTextJoinedByCarriageReturns) {
    Control* form = MakeForm();
    Dropped dropped;
    SetOnDropFiles(form, MakeEvent<&OnDrop>(&dropped));
    ASSERT_NE(form->Handle, nullptr) << "accepting files needs the window";
    EXPECT_TRUE(GetWindowLongA(form->Handle, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    const std::string first = "C:\\Temp\\Большой файл.avi";
    const std::string second = "C:\\Temp\\film.avi_1.brf";
    SendMessageA(form->Handle, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({first}, {5, 6})),
                 0);
    SendMessageA(form->Handle, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({first, second}, {30, 40})), 0);
    EXPECT_EQ(dropped.names, (std::vector<std::string>{first, first + "\r" + second}));
    EXPECT_EQ(dropped.point.x, 30);
    EXPECT_EQ(dropped.point.y, 40);

    SetOnDropFiles(form, {});
    EXPECT_FALSE(GetWindowLongA(form->Handle, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}

TEST_F(DispatchTest, TheComboBoxEditFieldFiresOnCharAndKeepsTheCharacter) {
    Control* form = MakeForm();
    Control* combo = CreateControl(form, "COMBOBOX", 0x50210242, true, nullptr);
    combo->OnCreateWindow = SubclassInnerWindows;
    Keys keys;
    SetOnChar(combo, MakeEvent<&FilterKeys>(&keys));
    ShowForm();
    HWND field = GetWindow(combo->Handle, GW_CHILD);
    ASSERT_NE(field, nullptr);
    EXPECT_NE(GetPropA(field, "PREV_PROC"), nullptr);

    SetFocus(field);
    EXPECT_EQ(form->CurrentControl, combo);
    for (char c : {'a', 'x'}) SendMessageA(field, WM_CHAR, c, 1);
    SendMessageA(field, WM_CHAR, VK_TAB, 1);
    EXPECT_EQ(keys.seen, "ax") << "Tab characters are swallowed before the handler";
    EXPECT_EQ(GetText(combo), "ax") << "the field gets every character unchanged";

    departures.clear();
    HHOOK hook =
        SetWindowsHookExA(WH_CALLWNDPROCRET, AfterWindowProc, nullptr, GetCurrentThreadId());
    FreeObject(form);
    form_ = nullptr;
    UnhookWindowsHookEx(hook);
    int fieldSeen = 0;
    for (const Departure& d : departures) {
        if (d.window != field) continue;
        ++fieldSeen;
        EXPECT_FALSE(d.hadPrevProc) << "the field gets its procedure back before it is destroyed";
    }
    EXPECT_EQ(fieldSeen, 2);
}

void Refuse(Recorder* r, Control*, bool& accept) {
    r->log.push_back("asked");
    accept = false;
}

TEST_F(DispatchTest, OnCloseCanKeepTheMainWindowOpen) {
    Control* form = MakeForm();
    Recorder recorder;
    form->OnClose = MakeEvent<&Refuse>(&recorder);
    ShowForm();
    AppletRunning = 1;
    SendMessageA(form->Handle, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(form->Handle));
    EXPECT_FALSE(DrainQueue()) << "a refused close does not end the loop";
    EXPECT_EQ(recorder.log.size(), 1u);

    form->OnClose = {};
    SendMessageA(form->Handle, WM_CLOSE, 0, 0);
    EXPECT_TRUE(DrainQueue());
    EXPECT_TRUE(IsWindow(form->Handle)) << "the window stays until its object is freed";
}

std::vector<Control*> aligned;
void RecordAlign(Control* parent) { aligned.push_back(parent); }

TEST_F(DispatchTest, SizeChangesLayOutTheParentThenTheControl) {
    Control* form = MakeForm();
    Control* button = MakeButton(form, "size");
    ShowForm();
    AlignProc = RecordAlign;
    aligned.clear();
    SetWindowPos(button->Handle, nullptr, 0, 0, 120, 30, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(aligned, (std::vector<Control*>{form, button}));
    aligned.clear();
    SetWindowPos(form->Handle, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(aligned, std::vector<Control*>{form}) << "a form has no parent to lay out";

    EXPECT_EQ(SendMessageA(button->Handle, WM_SETCURSOR, reinterpret_cast<WPARAM>(button->Handle),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              1);
    EXPECT_EQ(GetCursor(), button->Cursor);
}
} // namespace
