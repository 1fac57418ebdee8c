// Drives Varnok.exe as a user would, from another process: finds its window and controls,
// types, clicks, reads texts and answers its message boxes and dialogs.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Probe.h"

// Waits up to the deadline for the condition, handling this thread's messages meanwhile.
bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds = 5000);

// A message box or dialog of the program: its window and the text it shows.
struct ShownBox {
    HWND window = nullptr;
    std::string caption;
    std::string text;
};

class VarnokProcess {
  public:
    // Starts the program and waits for its main window.
    VarnokProcess();
    // The same with arguments on its command line, as the shell passes a file to it.
    explicit VarnokProcess(const std::wstring& arguments);
    // Ends the program if a test left it running.
    ~VarnokProcess();
    VarnokProcess(const VarnokProcess&) = delete;
    VarnokProcess& operator=(const VarnokProcess&) = delete;

    HWND Form() const { return form_; }
    HANDLE Process() const { return process_.hProcess; }
    DWORD Id() const { return process_.dwProcessId; }
    // The program's first thread, which runs its window.
    HANDLE Thread() const { return process_.hThread; }
    // The control of that class at (x, y) in its parent's client area, below scope (the
    // whole window when null); null when none.
    HWND Find(const char* className, int x, int y, HWND scope = nullptr) const;
    // The control of that class showing that text.
    HWND FindByText(const char* className, const std::string& text) const;
    HWND Page(int index) const;

    // Client rectangle of a control relative to its parent's client area.
    static RECT PlaceInParent(HWND control);
    static std::string Text(HWND window);
    static void Type(HWND window, const std::string& text);
    // A click the way the button gets it from the mouse (it takes the focus); posted, so a
    // box it opens does not hold up the driver.
    static void Click(HWND button);
    // A character typed into the window with the focus.
    static void TypeChar(HWND window, char character);
    static std::vector<std::string> ListItems(HWND list);
    std::string StatusText(int section) const;
    int StatusSections() const;

    // The message box or dialog of the program that is open now, if any.
    std::optional<ShownBox> OpenBox(const char* className = "#32770") const;
    ShownBox WaitForBox(DWORD milliseconds = 5000, const char* className = "#32770") const;
    // Presses the box's button (IDOK, IDCANCEL) and waits until the box is gone.
    void Answer(const ShownBox& box, int button) const;
    // The program's top-level windows other than the form and the applet: none when idle.
    bool HasBoxOpen() const { return OpenBox().has_value(); }

    void Drop(HWND target, const std::vector<std::string>& names) const;
    // Drops names in their wide form, as the shell drops them.
    void DropWide(HWND target, const std::vector<std::wstring>& names) const;
    // Sends a message whose lParam is a text, with the text placed in the program's memory.
    LRESULT SendWithText(HWND window, UINT msg, WPARAM wParam, const std::string& text) const;
    ProbeMenu ReadMenu() const;
    // The control's caption measured in its own font, and its client area.
    ProbeCaption MeasureCaption(HWND control) const;
    // The program's error mode (SEM_* flags).
    UINT ErrorMode() const;
    // Chooses a menu item by command id, as a click in the menu does.
    void ChooseMenuItem(UINT id) const;

    // Waits for the program to end; its exit code, or nothing when it still runs.
    std::optional<DWORD> WaitForExit(DWORD milliseconds = 5000);

  private:
    void LoadProbe();
    DWORD CallProbe(const char* function, void* record, size_t size) const;
    // Runs work that calls into the program with a handle of it, until a deadline; a program
    // that does not answer by then fails the test and is ended. false then.
    bool Bounded(const char* what, std::function<void(HANDLE process)> work) const;

    PROCESS_INFORMATION process_{};
    HWND form_ = nullptr;
    HMODULE localProbe_ = nullptr;
    uintptr_t remoteProbe_ = 0;
    bool exited_ = false;
};

// The mouse as a user moves it, through the system's input queue: a click at a point of
// the screen, and a drag with the left button from one point to another.
void RealClick(POINT screen);
void RealDrag(POINT from, POINT to);

// Paths of the program and the probe, from the build.
std::string VarnokExePath();
std::string ProbeDllPath();
