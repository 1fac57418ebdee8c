// The hooks every bench mode runs the engine with: no window, no question left unanswered.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "engine/Hooks.h"

// Answers OK to every question and prints nothing; remembers the messages so that a run
// that did not end with the completion text is not reported as a measurement.
struct QuietHooks : SplitHooks, JoinHooks {
    std::vector<std::string> messages;
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    // Ends the process at once when the status names this text (a piece's name).
    void SetStatus(const std::string& text) override {
        if (!endAt.empty() && text.size() >= endAt.size() &&
            text.compare(text.size() - endAt.size(), endAt.size(), endAt) == 0)
            TerminateProcess(GetCurrentProcess(), 3);
    }
    std::string endAt;
    void KeepResponsive() override {}
    // A window would turn the figures into a bar position; this much work at least.
    void ReportProgress(const ProgressFigures& figures) override {
        if (figures.total > 0) lastPercent = static_cast<int>(figures.done * 100 / figures.total);
    }
    int lastPercent = 0;
    bool AskOkCancel(const std::string&) override { return true; }
    // An interrupted split is resumed.
    Reply AskYesNoCancel(const std::string&) override { return Reply::Yes; }
    void ShowPieceList(const std::vector<std::string>&) override {}
};
