// A second thread that answers a modal dialog of this process the way a user would: it
// waits for the dialog window (class "#32770"), lets the test act on it, and makes sure it
// closes, so a test never hangs in a dialog it failed to answer.
#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace watch {
using Clock = std::chrono::steady_clock;
constexpr auto Deadline = std::chrono::seconds(10);

struct WindowSearch {
    std::string className;
    std::vector<HWND> found;
};

inline BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (process == GetCurrentProcessId() && search->className == name && IsWindowVisible(window)) {
        search->found.push_back(window);
    }
    return TRUE;
}

// The visible top-level windows of this process with this class, as the system lists them.
inline std::vector<HWND> VisibleWindows(const std::string& className) {
    WindowSearch search{className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The visible dialog windows of this process, newest first.
inline std::vector<HWND> DialogWindows() { return VisibleWindows("#32770"); }

// Polls until the condition holds or the deadline passes; true when it held.
inline bool WaitFor(const std::function<bool()>& condition) {
    const auto end = Clock::now() + Deadline;
    while (Clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

inline std::string TextOf(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The texts of a window's direct children, in order.
inline std::vector<std::string> ChildTexts(HWND window) {
    std::vector<std::string> texts;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        texts.push_back(TextOf(child));
    }
    return texts;
}

// Presses a dialog button the way a click does: BN_CLICKED from the button to the dialog.
inline void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
} // namespace watch

class DialogWatcher {
  public:
    // answer runs on the watcher's thread with the dialog window once it is shown.
    explicit DialogWatcher(std::function<void(HWND)> answer)
        : thread_([this, answer = std::move(answer)] { Run(answer); }) {}
    ~DialogWatcher() {
        if (thread_.joinable()) thread_.join();
    }
    // Waits for the watcher; true when it found the dialog and the dialog closed by itself.
    bool Finish() {
        if (thread_.joinable()) thread_.join();
        return found_ && closed_;
    }
    HWND Dialog() const { return dialog_; }

  private:
    void Run(const std::function<void(HWND)>& answer) {
        found_ = watch::WaitFor([this] {
            auto dialogs = watch::DialogWindows();
            if (dialogs.empty()) return false;
            dialog_ = dialogs.front();
            return true;
        });
        if (!found_) return;
        answer(dialog_);
        closed_ = watch::WaitFor([this] { return !IsWindow(dialog_); });
        // Whatever the answer missed (a second box, a refused name): cancel until all close.
        for (int round = 0; round < 5 && !watch::DialogWindows().empty(); ++round) {
            for (HWND open : watch::DialogWindows()) watch::Press(open, IDCANCEL);
            watch::WaitFor([] { return watch::DialogWindows().empty(); });
        }
    }

    HWND dialog_ = nullptr;
    bool found_ = false;
    bool closed_ = false;
    std::thread thread_;
};
