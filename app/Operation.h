// A split or a join as the window runs it: one at a time, the start commands disabled while
// it runs, and a close asked for meanwhile carried out when it ends.
#pragma once
#include "app/MainWindow.h"
#include "engine/Hooks.h"

// Held for the length of an operation; every way out of it gives the commands back and
// takes the progress away.
class OperationGuard {
  public:
    explicit OperationGuard(MainWindow* w);
    ~OperationGuard();
    OperationGuard(const OperationGuard&) = delete;
    OperationGuard& operator=(const OperationGuard&) = delete;

  private:
    MainWindow* w_;
};

// False, after telling the user, when an operation runs already.
bool MayStartOperation(MainWindow* w);

// The window's side of the engine's hooks, for a split and a join alike: message boxes
// captioned "Varnok", the status bar's text section, the piece list and the message pump.
class WindowHooks : public SplitHooks, public JoinHooks {
  public:
    explicit WindowHooks(MainWindow* w) : w_(w) {}
    void ShowMessage(const std::string& text) override;
    void SetStatus(const std::string& text) override;
    void KeepResponsive() override;
    bool AskOkCancel(const std::string& text) override;
    Reply AskYesNoCancel(const std::string& text) override;
    void ShowPieceList(const std::vector<std::string>& paths) override;
    void ReportProgress(const ProgressFigures& figures) override;
    bool StopRequested() override { return w_->StopRequested; }

  private:
    MainWindow* w_;
};
