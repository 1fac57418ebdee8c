// Working the program's windows from outside: finding them, clicking, typing, reading them back,
// with deadlines.
#include "Driver.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "TestFiles.h"

namespace {
struct WindowSearch {
    DWORD process;
    const char* className;
    HWND skip1, skip2;
    HWND found;
};

std::string ClassOf(HWND window) {
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

bool OwnedBy(HWND window, DWORD process) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner == process;
}

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    if (!OwnedBy(window, search->process) || !IsWindowVisible(window)) return TRUE;
    if (window == search->skip1 || window == search->skip2) return TRUE;
    if (ClassOf(window) != search->className) return TRUE;
    search->found = window;
    return FALSE;
}

HWND TopLevel(DWORD process, const char* className, HWND skip1 = nullptr, HWND skip2 = nullptr) {
    WindowSearch search{process, className, skip1, skip2, nullptr};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
    return TRUE;
}

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&all));
    return all;
}

// Memory inside the program for messages whose results Wine does not carry across.
class RemoteBuffer {
  public:
    RemoteBuffer(HANDLE process, size_t size) : process_(process), size_(size) {
        address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
    void* Address() const { return address_; }
    void Write(const void* data, size_t size) {
        WriteProcessMemory(process_, address_, data, size, nullptr);
    }
    void Read(void* data, size_t size) const {
        ReadProcessMemory(process_, address_, data, size, nullptr);
    }

  private:
    HANDLE process_;
    size_t size_;
    void* address_;
};
// Runs work on a thread of its own and waits for it until the deadline. A call into the
// program (remote memory, a remote thread) waits for the program to answer it, and under Wine
// that wait has no end: a program that never answers must fail the test, not hang the run.
// The work owns everything it touches, so that a thread left waiting harms nothing.
DWORD WINAPI RunOwned(void* param) {
    std::unique_ptr<std::function<void()>> run(static_cast<std::function<void()>*>(param));
    (*run)();
    return 0;
}

bool FinishesWithin(std::function<void()> work, DWORD milliseconds) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    HANDLE thread = CreateThread(nullptr, 0, RunOwned, owned.get(), 0, nullptr);
    if (!thread) return false;
    owned.release();
    const bool done = WaitForSingleObject(thread, milliseconds) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return done;
}

// A handle of the program's own for work that may outlive the caller's.
std::shared_ptr<void> SharedHandle(HANDLE process) {
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &copy, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    return std::shared_ptr<void>(copy, [](HANDLE h) {
        if (h) CloseHandle(h);
    });
}

// The longest a probe or a message may take the program to answer.
constexpr DWORD kAnswerMilliseconds = 30000;

// Sends a message and waits for the answer until the deadline; 0 when none came.
LRESULT SendBounded(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, bool wide = false) {
    DWORD_PTR result = 0;
    const UINT flags = SMTO_ABORTIFHUNG | SMTO_BLOCK;
    const LRESULT sent =
        wide
            ? SendMessageTimeoutW(window, msg, wParam, lParam, flags, kAnswerMilliseconds, &result)
            : SendMessageTimeoutA(window, msg, wParam, lParam, flags, kAnswerMilliseconds, &result);
    if (!sent && IsWindow(window))
        ADD_FAILURE() << "the program did not answer message " << msg << " within "
                      << kAnswerMilliseconds / 1000 << " s";
    return sent ? static_cast<LRESULT>(result) : 0;
}

} // namespace

std::string VarnokExePath() { return UnixPathOnZ(VARNOK_EXE_UNIX); }
std::string ProbeDllPath() { return UnixPathOnZ(PROBE_DLL_UNIX); }

namespace {
// The program the waits watch: when it ends on its own, every wait fails at once instead of
// running into its deadline.
HANDLE watchedProcess = nullptr;
bool deathReported = false;

bool WatchedProcessDied() {
    if (!watchedProcess || WaitForSingleObject(watchedProcess, 0) != WAIT_OBJECT_0) return false;
    if (!deathReported) {
        deathReported = true;
        DWORD code = 0;
        GetExitCodeProcess(watchedProcess, &code);
        ADD_FAILURE() << "Varnok.exe ended unexpectedly, exit code 0x" << std::hex << code;
    }
    return true;
}
} // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        if (condition()) return true;
        if (WatchedProcessDied() || GetTickCount64() > deadline) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(20);
    }
}

VarnokProcess::VarnokProcess() : VarnokProcess(std::wstring()) {}

VarnokProcess::VarnokProcess(const std::wstring& arguments) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const std::string exe = VarnokExePath();
    std::wstring command(exe.size() + 1, L'\0');
    command.resize(MultiByteToWideChar(CP_ACP, 0, exe.c_str(), -1, command.data(),
                                       static_cast<int>(command.size())) -
                   1);
    command = L"\"" + command + L"\"";
    if (!arguments.empty()) command += L" " + arguments;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_)) {
        ADD_FAILURE() << "Varnok.exe did not start: " << VarnokExePath();
        return;
    }
    watchedProcess = process_.hProcess;
    deathReported = false;
    WaitUntil([&] { return (form_ = TopLevel(process_.dwProcessId, "obj_Form")) != nullptr; },
              15000);
    EXPECT_NE(form_, nullptr) << "the main window did not appear";
    WaitForInputIdle(process_.hProcess, 5000);
}

VarnokProcess::~VarnokProcess() {
    if (!process_.hProcess) return;
    if (watchedProcess == process_.hProcess) watchedProcess = nullptr;
    if (!exited_ && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    if (localProbe_) FreeLibrary(localProbe_);
}

RECT VarnokProcess::PlaceInParent(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

HWND VarnokProcess::Find(const char* className, int x, int y, HWND scope) const {
    for (HWND child : Descendants(scope ? scope : form_)) {
        const RECT r = PlaceInParent(child);
        if (r.left == x && r.top == y && ClassOf(child) == className) return child;
    }
    return nullptr;
}

HWND VarnokProcess::FindByText(const char* className, const std::string& text) const {
    for (HWND child : Descendants(form_)) {
        if (ClassOf(child) == className && Text(child) == text) return child;
    }
    return nullptr;
}

HWND VarnokProcess::Page(int index) const {
    HWND tabs = nullptr;
    for (HWND child : Descendants(form_)) {
        if (ClassOf(child) == "obj_SysTabControl32") tabs = child;
    }
    // The pages in the order they were made, which is the order of their ids; the order of
    // the windows changes whenever a page is brought to the top.
    std::vector<HWND> pages;
    for (HWND child : Descendants(tabs)) {
        if (GetParent(child) == tabs && ClassOf(child) == "obj_STATIC") pages.push_back(child);
    }
    std::sort(pages.begin(), pages.end(),
              [](HWND a, HWND b) { return GetDlgCtrlID(a) < GetDlgCtrlID(b); });
    return index < static_cast<int>(pages.size()) ? pages[index] : nullptr;
}

std::string VarnokProcess::Text(HWND window) {
    char text[1024] = {};
    SendBounded(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

void VarnokProcess::Type(HWND window, const std::string& text) {
    // An edit box is clicked first, so that it has the focus as the user typing has.
    if (ClassOf(window) == "obj_EDIT") Click(window);
    SendBounded(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void VarnokProcess::Click(HWND button) {
    RECT r{};
    GetClientRect(button, &r);
    const LPARAM centre = MAKELPARAM(r.right / 2, r.bottom / 2);
    PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    PostMessageA(button, WM_LBUTTONUP, 0, centre);
}

void VarnokProcess::TypeChar(HWND window, char character) {
    PostMessageA(window, WM_CHAR, static_cast<unsigned char>(character), 1);
}

std::vector<std::string> VarnokProcess::ListItems(HWND list) {
    std::vector<std::string> items;
    const LRESULT count = SendBounded(list, LB_GETCOUNT, 0, 0, true);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t wide[1024] = {};
        SendBounded(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide), true);
        char text[1024] = {};
        WideCharToMultiByte(1251, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        items.push_back(text);
    }
    return items;
}

std::string VarnokProcess::StatusText(int section) const {
    HWND bar = nullptr;
    for (HWND child : Descendants(form_)) {
        if (ClassOf(child) == "obj_msctls_statusbar32") bar = child;
    }
    auto text = std::make_shared<std::string>();
    Bounded("the status bar's text", [bar, section, text](HANDLE process) {
        RemoteBuffer buffer(process, 1024);
        const char zero = 0;
        buffer.Write(&zero, 1);
        SendMessageA(bar, SB_GETTEXTA, section, reinterpret_cast<LPARAM>(buffer.Address()));
        char read[1024] = {};
        buffer.Read(read, sizeof read - 1);
        *text = read;
    });
    return *text;
}

int VarnokProcess::StatusSections() const {
    for (HWND child : Descendants(form_)) {
        if (ClassOf(child) == "obj_msctls_statusbar32") {
            return static_cast<int>(SendBounded(child, SB_GETPARTS, 0, 0));
        }
    }
    return 0;
}

std::optional<ShownBox> VarnokProcess::OpenBox(const char* className) const {
    HWND box = TopLevel(process_.dwProcessId, className, form_);
    if (!box) return std::nullopt;
    ShownBox shown{box, Text(box), ""};
    for (HWND child : Descendants(box)) {
        const std::string text = Text(child);
        if (ClassOf(child) == "Static" && text.size() > shown.text.size()) shown.text = text;
    }
    return shown;
}

ShownBox VarnokProcess::WaitForBox(DWORD milliseconds, const char* className) const {
    std::optional<ShownBox> box;
    WaitUntil([&] { return (box = OpenBox(className)).has_value(); }, milliseconds);
    if (!box) {
        ADD_FAILURE() << "no box appeared";
        return {};
    }
    return *box;
}

void VarnokProcess::Answer(const ShownBox& box, int button) const {
    PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box.window); })) << "the box stayed open";
}

void VarnokProcess::LoadProbe() {
    if (remoteProbe_) return;
    const std::string path = ProbeDllPath();
    localProbe_ = LoadLibraryA(path.c_str());
    ASSERT_NE(localProbe_, nullptr) << path;
    auto loaded = std::make_shared<bool>(false);
    Bounded("loading the probe", [path, loaded](HANDLE process) {
        RemoteBuffer name(process, path.size() + 1);
        name.Write(path.c_str(), path.size() + 1);
        auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
        HANDLE thread =
            CreateRemoteThread(process, nullptr, 0, loadLibrary, name.Address(), 0, nullptr);
        if (!thread) return;
        *loaded = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
        CloseHandle(thread);
    });
    ASSERT_TRUE(*loaded) << "the probe did not load into the program";
    // The probe's place in the program, found by its file name.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process_.dwProcessId);
    MODULEENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szModule, "varnok_probe.dll") == 0) {
            remoteProbe_ = reinterpret_cast<uintptr_t>(entry.modBaseAddr);
        }
    }
    CloseHandle(snapshot);
    ASSERT_NE(remoteProbe_, 0u) << "the probe did not load into the program";
}

bool VarnokProcess::Bounded(const char* what, std::function<void(HANDLE process)> work) const {
    std::shared_ptr<void> process = SharedHandle(process_.hProcess);
    if (FinishesWithin([process, work] { work(process.get()); }, kAnswerMilliseconds)) return true;
    ADD_FAILURE() << "the program did not answer (" << what << ") within "
                  << kAnswerMilliseconds / 1000 << " s: it is ended";
    TerminateProcess(process_.hProcess, 98);
    return false;
}

DWORD VarnokProcess::CallProbe(const char* function, void* record, size_t size) const {
    const_cast<VarnokProcess*>(this)->LoadProbe();
    if (!remoteProbe_) return 0;
    const auto local = reinterpret_cast<uintptr_t>(GetProcAddress(localProbe_, function));
    // A name the probe does not export must never become a thread start in the program.
    if (local == 0) {
        ADD_FAILURE() << "the probe exports no " << function;
        return 0;
    }
    if (WatchedProcessDied()) return 0;
    const uintptr_t remote = remoteProbe_ + (local - reinterpret_cast<uintptr_t>(localProbe_));
    struct Call {
        std::vector<char> record;
        DWORD result = 0;
    };
    auto call = std::make_shared<Call>();
    call->record.assign(static_cast<char*>(record), static_cast<char*>(record) + size);
    const bool answered = Bounded(function, [remote, call](HANDLE process) {
        RemoteBuffer buffer(process, call->record.size());
        buffer.Write(call->record.data(), call->record.size());
        HANDLE thread = CreateRemoteThread(process, nullptr, 0,
                                           reinterpret_cast<LPTHREAD_START_ROUTINE>(remote),
                                           buffer.Address(), 0, nullptr);
        if (!thread) return;
        WaitForSingleObject(thread, 10000);
        GetExitCodeThread(thread, &call->result);
        CloseHandle(thread);
        buffer.Read(call->record.data(), call->record.size());
    });
    if (!answered) return 0;
    memcpy(record, call->record.data(), size);
    return call->result;
}

void VarnokProcess::Drop(HWND target, const std::vector<std::string>& names) const {
    ProbeDrop drop{};
    drop.target = target;
    drop.point = {10, 10};
    size_t at = 0;
    for (const std::string& name : names) {
        memcpy(drop.names + at, name.c_str(), name.size() + 1);
        at += name.size() + 1;
    }
    EXPECT_EQ(CallProbe("ProbeDropFiles", &drop, sizeof drop), 1u);
}

void VarnokProcess::DropWide(HWND target, const std::vector<std::wstring>& names) const {
    ProbeDrop drop{};
    drop.target = target;
    drop.point = {10, 10};
    drop.wide = TRUE;
    size_t at = 0;
    for (const std::wstring& name : names) {
        memcpy(drop.wideNames + at, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
        at += name.size() + 1;
    }
    EXPECT_EQ(CallProbe("ProbeDropFiles", &drop, sizeof drop), 1u);
}

namespace {
// Moves the mouse to a point of the screen, with a button going down or up there; returns
// once the system has the cursor at that point.
void SendMouse(POINT screen, DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Absolute places run from 0 to 65535 across the screen.
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof input);
    WaitUntil(
        [&] {
            POINT at{};
            GetCursorPos(&at);
            return at.x == screen.x && at.y == screen.y;
        },
        2000);
}
} // namespace

void RealClick(POINT screen) {
    SendMouse(screen, 0);
    SendMouse(screen, MOUSEEVENTF_LEFTDOWN);
    SendMouse(screen, MOUSEEVENTF_LEFTUP);
}

void RealDrag(POINT from, POINT to) {
    SendMouse(from, 0);
    SendMouse(from, MOUSEEVENTF_LEFTDOWN);
    // In steps, as a hand moves.
    constexpr int steps = 8;
    for (int i = 1; i <= steps; ++i) {
        SendMouse({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps}, 0);
    }
    SendMouse(to, MOUSEEVENTF_LEFTUP);
}

LRESULT VarnokProcess::SendWithText(HWND window, UINT msg, WPARAM wParam,
                                    const std::string& text) const {
    auto answer = std::make_shared<LRESULT>(0);
    Bounded("a message with text", [window, msg, wParam, text, answer](HANDLE process) {
        RemoteBuffer buffer(process, text.size() + 1);
        buffer.Write(text.c_str(), text.size() + 1);
        *answer = SendMessageA(window, msg, wParam, reinterpret_cast<LPARAM>(buffer.Address()));
    });
    return *answer;
}

ProbeMenu VarnokProcess::ReadMenu() const {
    ProbeMenu menu{};
    menu.menu = GetMenu(form_);
    CallProbe("ProbeReadMenu", &menu, sizeof menu);
    return menu;
}

ProbeCaption VarnokProcess::MeasureCaption(HWND control) const {
    ProbeCaption caption{};
    caption.window = control;
    EXPECT_EQ(CallProbe("ProbeMeasureCaption", &caption, sizeof caption), 1u);
    return caption;
}

UINT VarnokProcess::ErrorMode() const {
    UINT mode = 0;
    EXPECT_EQ(CallProbe("ProbeErrorMode", &mode, sizeof mode), 1u);
    return mode;
}

void VarnokProcess::ChooseMenuItem(UINT id) const {
    PostMessageA(form_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

std::optional<DWORD> VarnokProcess::WaitForExit(DWORD milliseconds) {
    // An end waited for is no crash: the waits watch the program again only while it runs.
    if (WaitForSingleObject(process_.hProcess, milliseconds) != WAIT_OBJECT_0) return std::nullopt;
    if (watchedProcess == process_.hProcess) watchedProcess = nullptr;
    exited_ = true;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}
