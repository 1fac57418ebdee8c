// The probe library: loaded into Varnok's process by the end-to-end driver, never part of
// the program.
#include "Probe.h"

#include <shlobj.h>

#include <cstring>

namespace {
void ReadLevel(HMENU menu, ProbeMenu* record) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count && record->count < ProbeMaxItems; ++i) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE;
        if (!GetMenuItemInfoA(menu, i, TRUE, &info)) continue;
        record->ids[record->count] = info.wID;
        record->states[record->count] = info.fState | (info.fType & MFT_SEPARATOR ? 0x80000000 : 0);
        ++record->count;
        if (info.hSubMenu) ReadLevel(info.hSubMenu, record);
    }
}
} // namespace

extern "C" DWORD WINAPI ProbeDropFiles(void* param) {
    const auto* drop = static_cast<const ProbeDrop*>(param);
    size_t length = 0;
    if (drop->wide) {
        while (drop->wideNames[length] || drop->wideNames[length + 1]) ++length;
        length = (length + 2) * sizeof(WCHAR);
    } else {
        while (drop->names[length] || drop->names[length + 1]) ++length;
        length += 2;
    }
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + length);
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->pt = drop->point;
    files->fWide = drop->wide;
    const void* names = drop->wide ? static_cast<const void*>(drop->wideNames) : drop->names;
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), names, length);
    GlobalUnlock(memory);
    return PostMessageA(drop->target, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0) ? 1 : 0;
}

extern "C" DWORD WINAPI ProbeReadMenu(void* param) {
    auto* record = static_cast<ProbeMenu*>(param);
    record->count = 0;
    ReadLevel(record->menu, record);
    return static_cast<DWORD>(record->count);
}

extern "C" DWORD WINAPI ProbeMeasureCaption(void* param) {
    auto* record = static_cast<ProbeCaption*>(param);
    char text[512] = {};
    const int length = GetWindowTextA(record->window, text, sizeof text);
    // The font handle is the program's own: only this process can select it.
    auto font = reinterpret_cast<HFONT>(SendMessageA(record->window, WM_GETFONT, 0, 0));
    HDC dc = GetDC(record->window);
    if (!dc) return 0;
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    const BOOL measured = GetTextExtentPoint32A(dc, text, length, &record->text);
    if (old) SelectObject(dc, old);
    ReleaseDC(record->window, dc);
    return measured && GetClientRect(record->window, &record->client) ? 1 : 0;
}

extern "C" DWORD WINAPI ProbeErrorMode(void* param) {
    // Windows XP has no GetErrorMode: the mode is read by setting it and setting it back.
    const UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    *static_cast<UINT*>(param) = mode;
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
