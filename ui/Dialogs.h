// The open-file dialog and the folder-browse dialog.
#pragma once
#include <cstdint>
#include <string>

#include <windows.h>
#include <shlobj.h>

#include "ui/Object.h"

struct OpenSaveDialog : BaseObject {
    std::string Filter; // "Any Files|*.*|Varnoks|*.brf"
    int32_t FilterIndex = 0;
    bool OpenMode = true;
    std::string InitialDir;
    std::string DefaultExtension;
    std::string FileName; // in: preset; out: the chosen path, empty after a cancel
    std::string Title;
    uint16_t Options = 0;
    HWND OwnerWindow = nullptr; // 0 = the applet's window
};

// Option bits of the open dialog.
enum OpenOption : uint16_t {
    OpenFileMustExist = 1u << 2,
    OpenHideReadOnly = 1u << 3,
    OpenNoChangeDir = 1u << 4,
    OpenOverwritePrompt = 1u << 9,
    OpenPathMustExist = 1u << 10,
    OpenReadOnly = 1u << 11,
};

OpenSaveDialog* CreateOpenSaveDialog(const std::string& title, const std::string& initialDir,
                                     uint16_t options);
// True when a file was chosen; FileName then holds it, or nothing when the ANSI code page
// cannot hold the name.
bool ExecuteOpenSaveDialog(OpenSaveDialog* dialog);

struct FolderDialog : BaseObject {
    std::string Title;
    uint8_t Options = 0;
    BFFCALLBACK BrowseCallback = nullptr;
    char PathBuffer[MAX_PATH + 1] = {};
    std::string InitialPath;
    HWND OwnerWindow = nullptr; // 0 = the applet's window
};

FolderDialog* CreateFolderDialog(const std::string& title, uint8_t options);
// True when a file-system folder was chosen; PathBuffer then holds it.
bool ExecuteFolderDialog(FolderDialog* dialog);
std::string FolderDialogPath(const FolderDialog* dialog);
// The dialog opens with this folder selected (a trailing "\" is dropped).
void SetFolderDialogStart(FolderDialog* dialog, const std::string& path);
