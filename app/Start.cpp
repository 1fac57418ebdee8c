// The program's start: the main window built, a path given on the command line opened on its
// page, the run loop, and the exit code when no window could be made.
#include "app/Start.h"

#include <windows.h>

#include "app/Pages.h"
#include "engine/pieces/PieceSet.h"
#include "engine/system/FileServices.h"
#include "engine/system/Text.h"
#include "ui/Applet.h"
#include "ui/Items.h"

namespace {
constexpr int SplitPageIndex = 0;
constexpr int JoinPageIndex = 1;
} // namespace

void OpenGivenPath(MainWindow* w, const std::string& path) {
    if (!UsableName(path)) return;
    if (!IsExistingFile(path)) {
        MessageBoxOk("Файл " + FileNamePart(path) + " не найден.");
        return;
    }
    if (HasPieceExtension(FileNamePart(path))) {
        SetCurIndex(w->MainTabs, JoinPageIndex);
        TakePiece(w, path);
    } else {
        SetCurIndex(w->MainTabs, SplitPageIndex);
        TakeChosenSource(w, path);
    }
}

int RunVarnok(const std::optional<std::string>& given) {
    Control* applet = CreateApplet("Varnok");
    MainWindow* w = BuildMainWindow(applet);
    // The path is taken once the window shows, so that its messages have a window behind them.
    const bool ran = w && RunApplet(applet, [w, &given] {
                         if (given) OpenGivenPath(w, *given);
                     });
    if (ran) return 0;
    if (applet) FreeObject(applet);
    // Without a display this box cannot be shown either and returns at once.
    MessageBoxA(nullptr, NoWindowText, "Varnok", MB_OK | MB_ICONERROR);
    return NoWindowExitCode;
}
