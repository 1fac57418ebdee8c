// What the driver asks of the probe library it loads into Varnok's process: things that
// Wine cannot do from another process (a drop handle, the menu's items, a control's font).
#pragma once
#include <windows.h>

constexpr int ProbeMaxNames = 2048;
constexpr int ProbeMaxItems = 32;

// Files dropped on a window: the names end in a double zero, in wideNames when wide is set
// (as the shell drops them), otherwise in names.
struct ProbeDrop {
    HWND target;
    POINT point;
    BOOL wide;
    char names[ProbeMaxNames];
    WCHAR wideNames[ProbeMaxNames];
};

// The items of a menu bar in order, each level before the next: ids and state flags.
struct ProbeMenu {
    HMENU menu;
    int count;
    UINT ids[ProbeMaxItems];
    UINT states[ProbeMaxItems];
};

// A control's caption measured with the font the control draws it with, beside its client area.
struct ProbeCaption {
    HWND window;
    SIZE text;
    RECT client;
};

extern "C" {
// Posts WM_DROPFILES with a drop handle made in this process.
__declspec(dllexport) DWORD WINAPI ProbeDropFiles(void* drop);
// Fills the menu record from the menu handle it holds.
__declspec(dllexport) DWORD WINAPI ProbeReadMenu(void* menu);
// Measures the caption of the record's window; 0 when it cannot.
__declspec(dllexport) DWORD WINAPI ProbeMeasureCaption(void* caption);
// The process's error mode (SEM_* flags) into the UINT the record is.
__declspec(dllexport) DWORD WINAPI ProbeErrorMode(void* mode);
}
