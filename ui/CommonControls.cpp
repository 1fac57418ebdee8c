// Loading the common controls (tab control, status bar) once per process.
#include "ui/Control.h"

#include <commctrl.h>

void LoadCommonControls(DWORD classes) {
    InitCommonControls();
    static HMODULE comctl = LoadLibraryA("comctl32.dll");
    if (!comctl) return;
    using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto initEx = reinterpret_cast<InitEx>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
    if (!initEx) return;
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), classes};
    initEx(&icc);
}
