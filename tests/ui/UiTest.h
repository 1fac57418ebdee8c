// A fixture for tests with real windows: the layer's global state starts clean, the thread's
// queue is drained, and every object a test made must be gone when it ends.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "ui/Control.h"

constexpr Actions ButtonActions{.Click = BN_CLICKED, .Enter = BN_SETFOCUS, .Leave = BN_KILLFOCUS};
constexpr Actions EditActions{.Enter = EN_SETFOCUS, .Leave = EN_KILLFOCUS, .Change = EN_CHANGE};
constexpr uint32_t ButtonStyle = 0x50011000;
constexpr uint32_t EditStyle = 0x500100C0;

// Takes every waiting message off the queue, dispatching all but WM_QUIT; true when a
// WM_QUIT was among them.
inline bool DrainQueue() {
    bool quit = false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = true;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return quit;
}

class UiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGlobals();
        liveBefore_ = LiveObjectCount();
    }
    void TearDown() override {
        FreeObject(form_);
        DrainQueue();
        EXPECT_EQ(LiveObjectCount(), liveBefore_) << "objects left alive";
        ResetGlobals();
    }
    static void ResetGlobals() {
        Applet = nullptr;
        AppletRunning = 0;
        AppletTerminated = false;
        AppletMade = false;
        AlignProc = nullptr;
    }

    // A top-level form like the program's main window; freed at the end unless the test
    // clears form_ after freeing it itself.
    Control* MakeForm() {
        form_ = CreateControl(nullptr, "Form", DefaultStyle, true, nullptr);
        form_->IsForm = true;
        form_->Bounds = {40, 40, 440, 340};
        form_->PositionSet = 3;
        return form_;
    }
    // Makes the form's windows at once, visible, as the run loop would.
    void ShowForm() {
        SetVisible(form_, true);
        ASSERT_NE(WindowHandle(form_), nullptr);
    }
    Control* MakeButton(Control* parent, const std::string& caption) {
        Control* button = CreateControl(parent, "BUTTON", ButtonStyle, false, &ButtonActions);
        SetText(button, caption);
        return button;
    }

    Control* form_ = nullptr;

  private:
    int liveBefore_ = 0;
};

// Collects what event handlers saw, in order.
struct Recorder {
    std::vector<std::string> log;
};

inline void LogClick(Recorder* r, Control*) { r->log.push_back("click"); }
inline void LogEnter(Recorder* r, Control*) { r->log.push_back("enter"); }
inline void LogLeave(Recorder* r, Control*) { r->log.push_back("leave"); }
inline void LogChange(Recorder* r, Control*) { r->log.push_back("change"); }
inline void LogSelChange(Recorder* r, Control*) { r->log.push_back("selchange"); }

// An object that writes its name into a recorder's log when it is destroyed.
struct Named : BaseObject {
    Recorder* recorder = nullptr;
    std::string name;
    void Destroy() override {
        recorder->log.push_back(name);
        BaseObject::Destroy();
    }
};

inline Named* MakeNamed(Recorder* recorder, const std::string& name) {
    Named* obj = NewObject<Named>();
    obj->recorder = recorder;
    obj->name = name;
    return obj;
}

// Watches WM_DESTROY and WM_NCDESTROY of every window and what properties it still had
// after the layer processed them.
struct Departure {
    HWND window;
    UINT msg;
    bool hadSelf;
    bool hadPrevProc;
};
inline std::vector<Departure> departures;
inline LRESULT CALLBACK AfterWindowProc(int code, WPARAM wParam, LPARAM lParam) {
    const auto* info = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && (info->message == WM_NCDESTROY || info->message == WM_DESTROY)) {
        departures.push_back({info->hwnd, info->message, GetPropA(info->hwnd, "SELF_") != nullptr,
                              GetPropA(info->hwnd, "PREV_PROC") != nullptr});
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
