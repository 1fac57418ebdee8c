#include "app/Operation.h"

#include "app/Pages.h"
#include "ui/Applet.h"
#include "ui/Form.h"
#include "ui/Geometry.h"
#include "ui/Items.h"
#include "ui/Menu.h"

namespace {
// The menu's "Разделить" and "Соединить" under "&Файл".
constexpr int SplitMenuItem = 1;
constexpr int JoinMenuItem = 2;

void SetStartCommandsEnabled(MainWindow* w, bool on) {
    SetEnabled(w->SplitButton, on);
    SetEnabled(w->JoinButton, on);
    SetMenuItemEnabled(MenuItem(w->MainMenu, SplitMenuItem), on);
    SetMenuItemEnabled(MenuItem(w->MainMenu, JoinMenuItem), on);
}

// While an operation runs a close is remembered instead of ending the run loop, so the
// operation's message boxes keep getting real answers.
void HoldCloseWhileBusy(MainWindow* w, Control*, bool& accept) {
    if (!w->Busy) return;
    accept = false;
    w->CloseRequested = true;
}
} // namespace

OperationGuard::OperationGuard(MainWindow* w) : w_(w) {
    w_->Busy = true;
    SetStartCommandsEnabled(w_, false);
}

OperationGuard::~OperationGuard() {
    w_->Busy = false;
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
}

void WindowSplitHooks::ShowMessage(const std::string& text) { MessageBoxOk(text); }
void WindowSplitHooks::SetStatus(const std::string& text) { SetStatusText(w_->Form, 1, text); }
void WindowSplitHooks::KeepResponsive() { ProcessMessages(w_->Applet); }
bool WindowSplitHooks::AskOkCancel(const std::string& text) {
    return MessageBoxFlags(text, MB_OKCANCEL) == IDOK;
}

void WindowJoinHooks::ShowMessage(const std::string& text) { MessageBoxOk(text); }
void WindowJoinHooks::SetStatus(const std::string& text) { SetStatusText(w_->Form, 1, text); }
void WindowJoinHooks::KeepResponsive() { ProcessMessages(w_->Applet); }
void WindowJoinHooks::ShowPieceList(const std::vector<std::string>& paths) {
    ClearItems(w_->PieceList);
    for (const std::string& path : paths) AddItem(w_->PieceList, path);
}

void ChangePriority(MainWindow* w, PriorityLevel level) {
    SetProcessPriority(level);
    // The system may refuse a class (realtime without the right): mark what it became.
    const DWORD actual = GetPriorityClass(GetCurrentProcess());
    int item = 8;
    if (actual == REALTIME_PRIORITY_CLASS) item = 6;
    if (actual == HIGH_PRIORITY_CLASS) item = 7;
    if (actual == IDLE_PRIORITY_CLASS) item = 9;
    SetMenuRadioMark(MenuItem(w->MainMenu, item));
}
