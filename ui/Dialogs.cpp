// The open-file dialog and the folder-browse dialog over the system's common dialogs.
#include "ui/Dialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "ui/AnsiNames.h"
#include "ui/Control.h"

namespace {
constexpr size_t NameBuffer = 262;
constexpr uint32_t DefaultOpenOptions =
    OpenFileMustExist | OpenHideReadOnly | OpenOverwritePrompt | OpenPathMustExist;
constexpr UINT DefaultFolderOptions = BIF_RETURNONLYFSDIRS;

HWND OwnerOr(HWND owner) {
    if (owner) return owner;
    return Applet ? Applet->Handle : nullptr;
}

// Whether the selection changed while the start folder was being selected.
thread_local bool startSelectionLanded = false;

// Selects the start folder once the dialog is up.
int CALLBACK SelectStartFolder(HWND window, UINT msg, LPARAM, LPARAM data) {
    const auto* dialog = reinterpret_cast<const FolderDialog*>(data);
    if (msg == BFFM_SELCHANGED) startSelectionLanded = true;
    if (msg == BFFM_INITIALIZED && dialog && !dialog->InitialPath.empty()) {
        const auto path = reinterpret_cast<LPARAM>(dialog->InitialPath.c_str());
        startSelectionLanded = false;
        SendMessageA(window, BFFM_SETSELECTIONA, TRUE, path);
        // Wine's dialog now and then walks its tree without finding the folder and selects
        // nothing; the same request a second time finds it.
        if (!startSelectionLanded) SendMessageA(window, BFFM_SETSELECTIONA, TRUE, path);
    }
    return 0;
}
} // namespace

OpenSaveDialog* CreateOpenSaveDialog(const std::string& title, const std::string& initialDir,
                                     uint32_t options) {
    auto* dialog = NewObject<OpenSaveDialog>();
    dialog->Title = title;
    dialog->InitialDir = initialDir;
    dialog->Options = options ? options : DefaultOpenOptions;
    return dialog;
}

bool ExecuteOpenSaveDialog(OpenSaveDialog* dialog) {
    const DWORD flags = dialog->Options | OFN_EXPLORER | OFN_LONGNAMES;

    // The dialog runs in its wide form, so that a chosen name the code page cannot hold is
    // noticed instead of arriving as a look-alike; everything going in is the ANSI text widened.
    // The preset name, cut so that its terminating zero still fits.
    std::vector<wchar_t> names(NameBuffer, L'\0');
    const std::wstring presetName = WideFromAnsi(dialog->FileName);
    const size_t preset = std::min(presetName.size(), names.size() - 1);
    std::copy_n(presetName.begin(), preset, names.begin());

    // "Any Files|*.*" becomes "Any Files\0*.*\0\0": the string's own zero is the last one.
    std::wstring filter = WideFromAnsi(dialog->Filter);
    if (!filter.empty()) {
        filter += L'|';
        std::replace(filter.begin(), filter.end(), L'|', L'\0');
    }
    const std::wstring initialDir = WideFromAnsi(dialog->InitialDir);
    const std::wstring title = WideFromAnsi(dialog->Title);
    const std::wstring defaultExtension = WideFromAnsi(dialog->DefaultExtension);

    OPENFILENAMEW info{};
    // The size every system version takes (76 bytes in 32-bit programs).
    info.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    info.hwndOwner = OwnerOr(dialog->OwnerWindow);
    info.hInstance = GetModuleHandleA(nullptr);
    info.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    info.nFilterIndex = static_cast<DWORD>(dialog->FilterIndex);
    info.lpstrFile = names.data();
    info.nMaxFile = static_cast<DWORD>(names.size());
    info.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    info.lpstrTitle = title.empty() ? nullptr : title.c_str();
    info.Flags = flags;
    info.lpstrDefExt = defaultExtension.c_str();
    info.lCustData = reinterpret_cast<LPARAM>(dialog);

    if (!GetOpenFileNameW(&info)) {
        // A cancel, or a path that did not fit: the buffer then holds no name at all.
        dialog->FileName.clear();
        return false;
    }
    dialog->FilterIndex = static_cast<int32_t>(info.nFilterIndex);
    names.back() = L'\0';
    dialog->FileName = AnsiNameOrEmpty(names.data());
    return true;
}

FolderDialog* CreateFolderDialog(const std::string& title, UINT options) {
    auto* dialog = NewObject<FolderDialog>();
    dialog->Title = title;
    dialog->Options = options ? options : DefaultFolderOptions;
    return dialog;
}

bool ExecuteFolderDialog(FolderDialog* dialog) {
    // The display name has its own buffer: PathBuffer only ever holds a real path.
    char displayName[MAX_PATH + 1] = {};
    BROWSEINFOA info{};
    info.hwndOwner = OwnerOr(dialog->OwnerWindow);
    info.pszDisplayName = displayName;
    info.lpszTitle = dialog->Title.empty() ? nullptr : dialog->Title.c_str();
    info.ulFlags = dialog->Options;
    info.lpfn = dialog->BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(dialog);

    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
    if (!item) return false;
    char path[MAX_PATH + 1] = {};
    // A network item, a folder outside the file system or a path too long gives no path.
    const bool converted = SHGetPathFromIDListA(item, path) && path[0] != '\0';
    CoTaskMemFree(item);
    if (!converted) return false;
    std::copy_n(path, sizeof path, dialog->PathBuffer);
    dialog->PathBuffer[MAX_PATH] = '\0';
    return true;
}

std::string FolderDialogPath(const FolderDialog* dialog) { return dialog->PathBuffer; }

void SetFolderDialogStart(FolderDialog* dialog, const std::string& path) {
    dialog->BrowseCallback = SelectStartFolder;
    dialog->InitialPath = path;
    if (!dialog->InitialPath.empty() && dialog->InitialPath.back() == '\\') {
        dialog->InitialPath.pop_back();
    }
}
