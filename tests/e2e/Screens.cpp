// Saves a picture of each page of the running program: varnok_screens.exe FOLDER
// (a Unix folder). Started by `make screenshots` inside its own Xvfb.
#include <windows.h>

#include <cstdio>
#include <string>

#include "Driver.h"
#include "SplitPage.h"
#include "TestFiles.h"
#include "app/MainWindow.h"

namespace {
// Runs a program of the system below Wine and waits for it.
bool RunUnixProgram(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string command = commandLine;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

// The size of a file written by a program of the system; -1 while there is none.
long long SizeOf(const std::string& unixPath) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(UnixPathOnZ(unixPath).c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The window's place on the screen, cut out of the root window by ImageMagick. Wine does
// not wait for a program of the system to end, so the picture is awaited as a whole file.
bool Capture(HWND form, const std::string& file) {
    DeleteFileA(UnixPathOnZ(file).c_str());
    RECT r{};
    GetWindowRect(form, &r);
    char geometry[64];
    std::snprintf(geometry, sizeof geometry, "%ldx%ld+%ld+%ld", r.right - r.left, r.bottom - r.top,
                  r.left, r.top);
    if (!RunUnixProgram(UnixPathOnZ("/usr/bin/import") + " -window root -crop " + geometry + " \"" +
                        file + "\"")) {
        return false;
    }
    long long last = -1;
    return WaitUntil(
        [&] {
            const long long now = SizeOf(file);
            const bool settled = now > 0 && now == last;
            last = now;
            return settled;
        },
        15000);
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string folder = argv[1];
    VarnokProcess varnok;
    if (!varnok.Form()) return 1;
    const ProbeMenu menu = varnok.ReadMenu();
    // The split page as a user fills it: a source, ten pieces, a recovery file that rebuilds
    // two of them.
    TempFolder temp;
    WriteWholeFile(temp / "film.avi", PatternBytes(256u << 20, 1));
    {
        SplitControls split(varnok);
        if (!split.PrepareByCount(temp / "film.avi", temp / "parts\\", "10")) return 1;
        VarnokProcess::Click(split.recovery);
        if (!WaitUntil([&] { return IsWindowEnabled(split.recoverySlices) != 0; })) return 1;
        VarnokProcess::Type(split.recoverySlices, "2");
    }
    const struct {
        MainMenuItem item;
        int page;
        const char* name;
    } pages[] = {{MainMenuItem::Split, 0, "split"},
                 {MainMenuItem::Join, 1, "join"},
                 {MainMenuItem::About, 2, "about"}};
    for (const auto& p : pages) {
        varnok.ChooseMenuItem(menu.ids[MenuNumber(p.item)]);
        if (!WaitUntil([&] { return IsWindowVisible(varnok.Page(p.page)) != 0; })) return 1;
        // The picture is of what the X server shows: give Wine the time to draw the page.
        Sleep(1000);
        if (!Capture(varnok.Form(), folder + "/" + p.name + ".png")) return 1;
    }
    // One more during a long split, with its progress.
    varnok.ChooseMenuItem(menu.ids[MenuNumber(MainMenuItem::Split)]);
    SplitControls split(varnok);
    if (!split.PrepareByCount(temp / "film.avi", temp / "parts\\", "4")) return 1;
    VarnokProcess::Click(split.split);
    if (!WaitUntil(
            [&] { return VarnokProcess::Text(varnok.Form()).find("% ") != std::string::npos; })) {
        return 1;
    }
    if (!Capture(varnok.Form(), folder + "/progress.png")) return 1;
    const ShownBox done = varnok.WaitForBox(60000);
    varnok.Answer(done, IDOK);
    varnok.ChooseMenuItem(menu.ids[MenuNumber(MainMenuItem::Exit)]);
    return varnok.WaitForExit() == std::optional<DWORD>(0) ? 0 : 1;
}
