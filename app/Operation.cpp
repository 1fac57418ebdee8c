// One operation at a time: the start commands greyed out while it runs, the title and the
// progress bar at each yield, a close asked for meanwhile, and the engine's hooks on the window.
#include "app/Operation.h"

#include "app/Pages.h"
#include "ui/Applet.h"
#include "ui/Form.h"
#include "ui/Geometry.h"
#include "ui/Items.h"
#include "ui/Menu.h"
#include "ui/ProgressBar.h"
#include "engine/system/Text.h"

namespace {
MenuObject* ItemOf(MainWindow* w, MainMenuItem item) {
    return MenuItem(w->MainMenu, MenuNumber(item));
}

void SetStartCommandsEnabled(MainWindow* w, bool on) {
    SetEnabled(w->SplitButton, on);
    SetEnabled(w->JoinButton, on);
    SetMenuItemEnabled(ItemOf(w, MainMenuItem::Split), on);
    SetMenuItemEnabled(ItemOf(w, MainMenuItem::Join), on);
}

constexpr int ProgressWidth = 150;
const std::string Title = "Varnok";

void ShowTitle(MainWindow* w, const std::string& title) {
    SetText(w->Form, title);
    // The taskbar shows the applet's title.
    SetText(w->Applet, title);
}

// The bar sits at the right end of the status bar; the text section ends before it.
void ShowProgressBar(MainWindow* w) {
    Control* status = w->Form->StatusBar;
    if (!status) return;
    RECT area{};
    GetClientRect(WindowHandle(status), &area);
    SetStatusSectionRight(w->Form, 1, area.right - ProgressWidth - 8);
    if (!w->ProgressBar) w->ProgressBar = CreateProgressBar(status);
    SetSize(SetPosition(w->ProgressBar, area.right - ProgressWidth - 4, 3), ProgressWidth,
            area.bottom - 5);
    SetProgressPercent(w->ProgressBar, 0);
    SetVisible(w->ProgressBar, true);
}

void HideProgress(MainWindow* w) {
    if (w->ProgressBar) SetVisible(w->ProgressBar, false);
    SetStatusSectionRight(w->Form, 1, -1);
    w->ShownPercent = -1;
    ShowTitle(w, Title);
}

// A message box takes the applet's title as its caption: it says "Varnok" alone meanwhile.
void TitleAtRest(MainWindow* w) {
    if (w->ShownPercent < 0) return;
    w->ShownPercent = -1;
    ShowTitle(w, Title);
}

void ShowProgress(MainWindow* w, const EngineHooks::ProgressFigures& figures) {
    const int percent =
        figures.total > 0 ? static_cast<int>(figures.done * 100 / figures.total) : 0;
    if (percent == w->ShownPercent) return;
    w->ShownPercent = percent;
    if (w->ProgressBar) SetProgressPercent(w->ProgressBar, percent);
    ShowTitle(w, DecimalText(percent) + "% " + Title);
}

// A close while an operation runs asks whether to stop it. OK stops it at its next yield,
// removing what it half wrote, and the window closes when it has stopped; Cancel goes on as
// if nothing had happened. The run loop never ends under the operation's message boxes.
void HoldCloseWhileBusy(MainWindow* w, Control*, bool& accept) {
    if (!w->Busy) return;
    accept = false;
    if (w->AskingToStop) return;
    w->AskingToStop = true;
    TitleAtRest(w);
    const bool stop = MessageBoxFlags("Прервать текущую операцию?", MB_OKCANCEL) == IDOK;
    w->AskingToStop = false;
    if (!stop) return;
    w->StopRequested = true;
    w->CloseRequested = true;
}

// The system ending the session stops the operation the same way instead of ending the
// process in the middle of a write.
bool EndSessionWhileBusy(MainWindow* w, Message& m, LRESULT& result) {
    if (m.msg != WM_ENDSESSION || !m.wParam || !w->Busy) return false;
    w->StopRequested = true;
    w->CloseRequested = true;
    result = 0;
    return true;
}
} // namespace

OperationGuard::OperationGuard(MainWindow* w) : w_(w) {
    w_->Busy = true;
    w_->StopRequested = false;
    SetStartCommandsEnabled(w_, false);
    ShowProgressBar(w_);
}

OperationGuard::~OperationGuard() {
    w_->Busy = false;
    HideProgress(w_);
    SetStartCommandsEnabled(w_, true);
    if (w_->CloseRequested) {
        w_->CloseRequested = false;
        PostClose(w_->Applet);
    }
}

bool MayStartOperation(MainWindow* w) {
    if (!w->Busy) return true;
    MessageBoxOk("Дождитесь окончания текущей операции.");
    return false;
}

void WireClosing(MainWindow* w) {
    w->Form->OnClose = MakeEvent<&HoldCloseWhileBusy>(w);
    w->Applet->OnClose = MakeEvent<&HoldCloseWhileBusy>(w);
    w->Form->OnMessage = MakeEvent<&EndSessionWhileBusy>(w);
}

void WindowHooks::ShowMessage(const std::string& text) {
    TitleAtRest(w_);
    MessageBoxOk(text);
}
void WindowHooks::SetStatus(const std::string& text) { SetStatusText(w_->Form, 1, text); }
void WindowHooks::KeepResponsive() { ProcessMessages(); }
bool WindowHooks::AskOkCancel(const std::string& text) {
    TitleAtRest(w_);
    return MessageBoxFlags(text, MB_OKCANCEL) == IDOK;
}
Reply WindowHooks::AskYesNoCancel(const std::string& text) {
    TitleAtRest(w_);
    switch (MessageBoxFlags(text, MB_YESNOCANCEL)) {
    case IDYES:
        return Reply::Yes;
    case IDNO:
        return Reply::No;
    default:
        return Reply::Cancel;
    }
}
void WindowHooks::ShowPieceList(const std::vector<std::string>& paths) {
    ClearItems(w_->PieceList);
    for (const std::string& path : paths) AddItem(w_->PieceList, path);
}
void WindowHooks::ReportProgress(const ProgressFigures& figures) { ShowProgress(w_, figures); }

void ChangePriority(MainWindow* w, PriorityLevel level) {
    SetProcessPriority(level);
    // The system may refuse a class (realtime without the right): mark what it became.
    const DWORD actual = GetPriorityClass(GetCurrentProcess());
    MainMenuItem item = MainMenuItem::Normal;
    if (actual == REALTIME_PRIORITY_CLASS) item = MainMenuItem::Realtime;
    if (actual == HIGH_PRIORITY_CLASS) item = MainMenuItem::High;
    if (actual == IDLE_PRIORITY_CLASS) item = MainMenuItem::Idle;
    SetMenuRadioMark(ItemOf(w, item));
}
