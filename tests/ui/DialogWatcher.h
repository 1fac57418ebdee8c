// A second thread that answers a modal dialog of this process the way a user would: it
// waits for the dialog window (class "#32770"), lets the test act on it, and makes sure it
// closes, so a test never hangs in a dialog it failed to answer.
#pragma once
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace watch {
using Clock = std::chrono::steady_clock;
// How long an answered dialog may take to close before it counts as not closing by itself.
constexpr auto Deadline = std::chrono::seconds(30);

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
    ~DialogWatcher() { Stop(); }
    // Waits for the watcher; true when it found the dialog and the dialog closed by itself.
    // Called once the call that shows the dialog has returned.
    bool Finish() {
        Stop();
        return found_ && closed_;
    }
    HWND Dialog() const { return dialog_; }

  private:
    void Stop() {
        returned_ = true;
        if (thread_.joinable()) thread_.join();
    }

    void Run(const std::function<void(HWND)>& answer) {
        // However late a slow machine shows the dialog, it is answered: the watcher waits
        // until it shows or the call that was to show it has returned.
        while (!returned_ && !found_) {
            const std::vector<HWND> dialogs = watch::DialogWindows();
            if (dialogs.empty()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            dialog_ = dialogs.front();
            found_ = true;
        }
        if (!found_) return;
        answer(dialog_);
        closed_ = watch::WaitFor([this] { return !IsWindow(dialog_); });
        // Whatever the answer missed (a second box, a refused name) is cancelled until every
        // dialog has closed: the test's thread waits inside the dialog until then.
        for (std::vector<HWND> open = watch::DialogWindows(); !open.empty();
             open = watch::DialogWindows()) {
            for (HWND dialog : open) watch::Press(dialog, IDCANCEL);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    HWND dialog_ = nullptr;
    std::atomic<bool> found_{false};
    bool closed_ = false;
    std::atomic<bool> returned_{false};
    std::thread thread_;
};
