// Start-up time of Varnok.exe beside notepad.exe: from starting the process to its main
// window shown and waiting for input; median of several runs; and the idle window's peak
// working set. Usage: varnok_start_bench.exe VARNOK_EXE [RUNS]
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {
struct Search {
    DWORD process;
    const char* className;
    HWND found;
};

BOOL CALLBACK FindShown(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (owner != search->process || !IsWindowVisible(window) ||
        lstrcmpiA(name, search->className)) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

struct Run {
    double milliseconds = -1;
    SIZE_T peakWorkingSet = 0;
};

// Starts the program and times it until its window of that class shows and it is idle.
Run TimeStart(const std::string& commandLine, const char* className) {
    Run run;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string command = commandLine;
    LARGE_INTEGER frequency, begin, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return run;
    }
    Search search{process.dwProcessId, className, nullptr};
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (!search.found && GetTickCount64() < deadline) {
        EnumWindows(FindShown, reinterpret_cast<LPARAM>(&search));
        if (!search.found) Sleep(1);
    }
    WaitForInputIdle(process.hProcess, 10000);
    QueryPerformanceCounter(&end);
    if (search.found) {
        run.milliseconds = 1000.0 * static_cast<double>(end.QuadPart - begin.QuadPart) /
                           static_cast<double>(frequency.QuadPart);
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof memory;
        GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory);
        run.peakWorkingSet = memory.PeakWorkingSetSize;
    }
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 7;
    std::vector<double> varnok, notepad;
    SIZE_T peak = 0, notepadPeak = 0;
    // Alternating, so that whatever else the machine does falls on both alike.
    for (int i = 0; i < runs; ++i) {
        const Run v = TimeStart(std::string("\"") + argv[1] + "\"", "obj_Form");
        const Run n = TimeStart("notepad.exe", "Notepad");
        if (v.milliseconds < 0 || n.milliseconds < 0) return 1;
        varnok.push_back(v.milliseconds);
        notepad.push_back(n.milliseconds);
        peak = std::max(peak, v.peakWorkingSet);
        notepadPeak = std::max(notepadPeak, n.peakWorkingSet);
    }
    const double v = Median(varnok), n = Median(notepad);
    std::printf("start-up to an idle window, median of %d: Varnok %.0f ms, notepad %.0f ms, "
                "ratio %.2f\n",
                runs, v, n, v / n);
    std::printf("peak working set when idle: Varnok %.1f MiB, notepad %.1f MiB\n",
                static_cast<double>(peak) / 1048576.0,
                static_cast<double>(notepadPeak) / 1048576.0);
    return 0;
}
