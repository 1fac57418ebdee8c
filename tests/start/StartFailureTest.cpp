// A start whose windows the system cannot make (no desktop, no display driver, no memory)
// tells the user and ends with its own exit code, never a fault, whichever window fails.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "DialogWatcher.h"
#include "UiTest.h"
#include "app/Start.h"
#include "ui/Applet.h"

namespace {
int windowsMade = 0;
int refuseFrom = 0; // the first window (counted from 1) the system refuses; 0 for none

HWND WINAPI ScriptedMaker(DWORD exStyle, LPCSTR className, LPCSTR caption, DWORD style, int x,
                          int y, int width, int height, HWND parent, HMENU menu, HINSTANCE module,
                          LPVOID param) {
    if (refuseFrom > 0 && windowsMade + 1 >= refuseFrom) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HWND window = CreateWindowExA(exStyle, className, caption, style, x, y, width, height, parent,
                                  menu, module, param);
    if (window) ++windowsMade;
    return window;
}

class StartFailureTest : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        MakeSystemWindow = ScriptedMaker;
        windowsMade = 0;
        refuseFrom = 0;
    }
    void TearDown() override {
        MakeSystemWindow = CreateWindowExA;
        UiTest::TearDown();
    }

    // The windows a start makes when the system refuses none.
    static int WindowsOfAStart() {
        Control* applet = CreateApplet("Varnok");
        EXPECT_NE(BuildMainWindow(applet), nullptr);
        applet->CreateWindow();
        const int made = windowsMade;
        FreeObject(applet);
        DrainQueue();
        ResetGlobals();
        windowsMade = 0;
        return made;
    }

    // Starts with the system refusing every window from the given one on: the user is told
    // in a box, and the start ends with the exit code of a start without windows.
    void ExpectCleanFailure(int refused, const std::optional<std::string>& given = std::nullopt) {
        SCOPED_TRACE("windows refused from number " + std::to_string(refused));
        refuseFrom = refused;
        std::vector<std::string> boxTexts;
        DialogWatcher watcher([&](HWND box) {
            boxTexts = watch::ChildTexts(box);
            watch::Press(box, IDOK);
        });
        EXPECT_EQ(RunVarnok(given), NoWindowExitCode);
        EXPECT_TRUE(watcher.Finish()) << "no box told the user";
        EXPECT_NE(std::find(boxTexts.begin(), boxTexts.end(), NoWindowText), boxTexts.end());
        EXPECT_EQ(Applet, nullptr);
        ResetGlobals();
        windowsMade = 0;
    }
};

TEST_F(StartFailureTest, NoWindowAtAllIsToldAndEndsWithItsExitCode) {
    ExpectCleanFailure(1);
    // A path on the command line is not opened by a start without windows.
    ExpectCleanFailure(1, std::string("C:\\nothing\\here.brf"));
}

TEST_F(StartFailureTest, AnyWindowRefusedOnTheWayEndsAsCleanly) {
    const int all = WindowsOfAStart();
    ASSERT_GT(all, 20) << "the applet, the form, the tabs and every control have a window";
    // The applet, the form, the tab control (whose window holds the pages), a page, a control
    // on the join page, and the very last window made.
    for (int refused : {2, 3, 4, 5, all / 2, all}) ExpectCleanFailure(refused);
}
} // namespace
