// How the engine reaches the user: the window supplies these, tests record them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct EngineHooks {
    virtual ~EngineHooks() = default;
    // Shows the text with an OK button; returns when the box is closed.
    virtual void ShowMessage(const std::string& text) = 0;
    // Puts the text into the status bar's text section.
    virtual void SetStatus(const std::string& text) = 0;
    // Handles the window messages that are waiting, then returns.
    virtual void KeepResponsive() = 0;
    // How far an operation has got: bytes of the whole file, and of the piece being written
    // (the disk method; elsewhere equal to the whole).
    struct ProgressFigures {
        int64_t done = 0;
        int64_t total = 0;
        int64_t pieceDone = 0;
        int64_t pieceTotal = 0;
    };
    // Called at the same moments as KeepResponsive, never more often; by default it does nothing.
    virtual void ReportProgress([[maybe_unused]] const ProgressFigures& figures) {}
    // Asked right after every KeepResponsive: true stops the operation there.
    virtual bool StopRequested() { return false; }

    // Lets the window run, then asks whether to stop; false when the operation stops there.
    bool KeepGoing() {
        KeepResponsive();
        return !StopRequested();
    }
    // The same, after telling how far the operation has got.
    bool YieldWithProgress(const ProgressFigures& figures) {
        ReportProgress(figures);
        return KeepGoing();
    }
};

// The button of a three-way question.
enum class Reply { Yes, No, Cancel };

struct SplitHooks : EngineHooks {
    // Shows the text with OK and Cancel; true only when OK was pressed.
    virtual bool AskOkCancel(const std::string& text) = 0;
    // Shows the text with Yes, No and Cancel; Cancel also when the box was closed.
    virtual Reply AskYesNoCancel(const std::string& text) = 0;
};

struct JoinHooks : EngineHooks {
    // The same questions as the split's: Ok/Cancel, and Yes/No/Cancel for the disk with the
    // next piece or recovery volume of a set on disks (Cancel also when the box was closed).
    virtual bool AskOkCancel(const std::string& text) = 0;
    virtual Reply AskYesNoCancel(const std::string& text) = 0;
    // Shows the paths of the pieces about to be read, in that order.
    virtual void ShowPieceList(const std::vector<std::string>& paths) = 0;
};
