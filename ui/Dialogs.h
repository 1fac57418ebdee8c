// The open-file dialog and the folder-browse dialog.
#pragma once
#include <cstdint>
#include <string>

#include <windows.h>

#include <commdlg.h>
#include <shlobj.h>

#include "ui/Object.h"

struct OpenSaveDialog : BaseObject {
    std::string Filter; // "Any Files|*.*|Varnoks|*.brf"
    int32_t FilterIndex = 0;
    std::string InitialDir;
    std::string DefaultExtension;
    std::string FileName; // in: preset; out: the chosen path, empty after a cancel
    std::string Title;
    uint32_t Options = 0;       // OpenOption values
    HWND OwnerWindow = nullptr; // 0 = the applet's window
};

// Options of the open dialog: the dialog's own flags of the same names.
enum OpenOption : uint32_t {
    OpenFileMustExist = OFN_FILEMUSTEXIST,
    OpenHideReadOnly = OFN_HIDEREADONLY,
    OpenNoChangeDir = OFN_NOCHANGEDIR,
    OpenOverwritePrompt = OFN_OVERWRITEPROMPT,
    OpenPathMustExist = OFN_PATHMUSTEXIST,
    OpenReadOnly = OFN_READONLY,
};

// An open dialog; without options the file and its path must exist, the read-only box is
// hidden and an existing file is asked about.
OpenSaveDialog* CreateOpenSaveDialog(const std::string& title, const std::string& initialDir,
                                     uint32_t options);
// True when a file was chosen; FileName then holds it, or nothing when the ANSI code page
// cannot hold the name.
bool ExecuteOpenSaveDialog(OpenSaveDialog* dialog);

struct FolderDialog : BaseObject {
    std::string Title;
    UINT Options = 0; // the folder dialog's own BIF_ flags
    BFFCALLBACK BrowseCallback = nullptr;
    char PathBuffer[MAX_PATH + 1] = {};
    std::string InitialPath;
    HWND OwnerWindow = nullptr; // 0 = the applet's window
};

// A folder dialog; without options it returns file-system folders only.
FolderDialog* CreateFolderDialog(const std::string& title, UINT options);
// True when a file-system folder was chosen; PathBuffer then holds it.
bool ExecuteFolderDialog(FolderDialog* dialog);
std::string FolderDialogPath(const FolderDialog* dialog);
// The dialog opens with this folder selected (a trailing "\" is dropped).
void SetFolderDialogStart(FolderDialog* dialog, const std::string& path);
