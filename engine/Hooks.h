// How the engine reaches the user: the window supplies these, tests record them.
#pragma once
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
};

struct SplitHooks : EngineHooks {
    // Shows the text with OK and Cancel; true only when OK was pressed.
    virtual bool AskOkCancel(const std::string& text) = 0;
};

struct JoinHooks : EngineHooks {
    // Shows the paths of the pieces about to be read, in that order.
    virtual void ShowPieceList(const std::vector<std::string>& paths) = 0;
};
