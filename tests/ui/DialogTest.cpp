// The open dialog and the folder dialog, answered for real by a watcher thread.
#include "DialogWatcher.h"
#include "UiTest.h"

#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include "ui/Dialogs.h"

namespace {
constexpr int FileNameField = 0x47C; // the open dialog's name box
constexpr int FilterList = 0x470;    // the open dialog's file type list
constexpr uint16_t ProgramOptions =
    OpenFileMustExist | OpenHideReadOnly | OpenOverwritePrompt | OpenPathMustExist | OpenReadOnly;

std::string TempFolder() {
    char path[MAX_PATH] = {};
    GetTempPathA(sizeof path, path);
    std::string folder =
        std::string(path) + "varnok_dialogs_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// Removes a folder with everything in it.
void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(folder + name + "\\");
            } else {
                DeleteFileA((folder + name).c_str());
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::string MakeFolder(const std::string& path) {
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

void MakeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
}

std::string CurrentFolder() {
    char path[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof path, path);
    return path;
}

// Types a name into the open dialog's name box and presses OK.
void TypeAndOpen(HWND dialog, const std::string& name) {
    SendMessageA(GetDlgItem(dialog, FileNameField), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(name.c_str()));
    watch::Press(dialog, IDOK);
}

std::vector<std::string> FilterEntries(HWND dialog) {
    HWND list = GetDlgItem(dialog, FilterList);
    std::vector<std::string> entries;
    const int count = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[128] = {};
        SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

// The name of the folder selected in the folder dialog's tree.
std::string SelectedFolder(HWND dialog) {
    HWND tree = FindWindowExA(dialog, nullptr, "SysTreeView32", nullptr);
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    char text[MAX_PATH] = {};
    TVITEMA info{};
    info.mask = TVIF_TEXT;
    info.hItem = item;
    info.pszText = text;
    info.cchTextMax = sizeof text;
    if (!item || !SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info))) return "";
    return text;
}

// Waits until the folder dialog shows this folder selected; true when it did.
bool ShowsSelected(HWND dialog, const std::string& name) {
    return watch::WaitFor([&] { return SelectedFolder(dialog) == name; });
}

class DialogTest : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        folder_ = TempFolder();
        startFolder_ = CurrentFolder();
    }
    void TearDown() override {
        SetCurrentDirectoryA(startFolder_.c_str());
        FreeObject(dialog_);
        RemoveTree(folder_);
        CoUninitialize();
        UiTest::TearDown();
    }
    OpenSaveDialog* MakeOpenDialog(uint16_t options) {
        auto* dialog = CreateOpenSaveDialog("Choose file to slice", folder_, options);
        dialog->Filter = "Any Files|*.*|Varnoks|*.brf";
        dialog_ = dialog;
        return dialog;
    }
    std::string folder_;
    std::string startFolder_;
    BaseObject* dialog_ = nullptr;
};

TEST_F(DialogTest, OpenDialogShowsTheFilterAndFolderAndReturnsTheTypedFileAndFilter) {
    Control* form = MakeForm();
    ShowForm();
    const std::string file = folder_ + "data.bin";
    MakeFile(file);
    OpenSaveDialog* dialog = MakeOpenDialog(ProgramOptions);
    dialog->FilterIndex = 2;
    dialog->OwnerWindow = form->Handle;

    std::string title;
    std::vector<std::string> entries;
    int shownFilter = -1;
    char shownFolder[MAX_PATH] = {};
    HWND owner = nullptr;
    DialogWatcher user([&](HWND box) {
        title = watch::TextOf(box);
        owner = GetWindow(box, GW_OWNER);
        entries = FilterEntries(box);
        HWND list = GetDlgItem(box, FilterList);
        shownFilter = static_cast<int>(SendMessageA(list, CB_GETCURSEL, 0, 0));
        // The dialog runs in its wide form and answers in it, whichever form is asked.
        wchar_t wideFolder[MAX_PATH] = {};
        SendMessageW(box, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(wideFolder));
        WideCharToMultiByte(CP_ACP, 0, wideFolder, -1, shownFolder, sizeof shownFolder, nullptr,
                            nullptr);
        // The user picks "Any Files", then types the path.
        SendMessageA(list, CB_SETCURSEL, 0, 0);
        for (WORD code : {CBN_SELCHANGE, CBN_SELENDOK}) {
            SendMessageA(box, WM_COMMAND, MAKEWPARAM(FilterList, code),
                         reinterpret_cast<LPARAM>(list));
        }
        TypeAndOpen(box, file);
    });
    ASSERT_TRUE(ExecuteOpenSaveDialog(dialog));
    EXPECT_TRUE(user.Finish());
    EXPECT_EQ(dialog->FileName, file);
    EXPECT_EQ(dialog->FilterIndex, 1) << "the filter the user picked is kept";
    EXPECT_EQ(title, "Choose file to slice");
    EXPECT_EQ(owner, form->Handle);
    EXPECT_EQ(entries, (std::vector<std::string>{"Any Files", "Varnoks"}));
    EXPECT_EQ(shownFilter, 1) << "FilterIndex 2 shows the second pair";
    EXPECT_EQ(std::string(shownFolder) + "\\", folder_);
}

TEST_F(DialogTest, ACancelEmptiesTheFileNameAndANewNameIsTakenAsTyped) {
    OpenSaveDialog* dialog = MakeOpenDialog(OpenHideReadOnly);
    dialog->FileName = folder_ + "earlier.bin";
    DialogWatcher cancel([](HWND box) { watch::Press(box, IDCANCEL); });
    EXPECT_FALSE(ExecuteOpenSaveDialog(dialog));
    EXPECT_TRUE(cancel.Finish());
    EXPECT_EQ(dialog->FileName, "");

    const std::string fits = folder_ + "new.bin";
    DialogWatcher chosen([&](HWND box) { TypeAndOpen(box, fits); });
    EXPECT_TRUE(ExecuteOpenSaveDialog(dialog));
    EXPECT_TRUE(chosen.Finish());
    EXPECT_EQ(dialog->FileName, fits);
}

TEST_F(DialogTest, APresetNameLongerThanTheBufferIsCutKeepingItsEnd) {
    OpenSaveDialog* dialog = MakeOpenDialog(OpenHideReadOnly);
    dialog->FileName = std::string(300, 'n');
    std::string shown;
    DialogWatcher user([&](HWND box) {
        shown = watch::TextOf(GetDlgItem(box, FileNameField));
        watch::Press(box, IDCANCEL);
    });
    EXPECT_FALSE(ExecuteOpenSaveDialog(dialog));
    EXPECT_TRUE(user.Finish());
    EXPECT_EQ(shown, std::string(261, 'n')) << "cut to the buffer less its zero";
}

TEST_F(DialogTest, TheNoChangeDirOptionKeepsTheCurrentFolder) {
    const std::string file = folder_ + "piece.brf";
    MakeFile(file);
    SetCurrentDirectoryA(startFolder_.c_str());
    OpenSaveDialog* keeping = MakeOpenDialog(OpenFileMustExist | OpenNoChangeDir);
    DialogWatcher first([&](HWND box) { TypeAndOpen(box, file); });
    ASSERT_TRUE(ExecuteOpenSaveDialog(keeping));
    EXPECT_TRUE(first.Finish());
    EXPECT_EQ(CurrentFolder(), startFolder_);

    keeping->Options = OpenFileMustExist;
    DialogWatcher second([&](HWND box) { TypeAndOpen(box, file); });
    ASSERT_TRUE(ExecuteOpenSaveDialog(keeping));
    EXPECT_TRUE(second.Finish());
    EXPECT_EQ(CurrentFolder() + "\\", folder_) << "without it the system moves the folder";
}

TEST_F(DialogTest, FolderDialogOpensOnTheStartFolderAndReturnsTheChosenOne) {
    const std::string start = MakeFolder(folder_ + "start");
    const std::string other = MakeFolder(folder_ + "other");
    auto* dialog = CreateFolderDialog("", 0);
    dialog_ = dialog;
    EXPECT_EQ(dialog->Options, static_cast<UINT>(BIF_RETURNONLYFSDIRS))
        << "file-system folders only by default";
    SetFolderDialogStart(dialog, start + "\\");
    EXPECT_EQ(dialog->InitialPath, start);

    bool startShown = false;
    DialogWatcher accept([&](HWND box) {
        startShown = ShowsSelected(box, "start");
        watch::Press(box, IDOK);
    });
    ASSERT_TRUE(ExecuteFolderDialog(dialog));
    EXPECT_TRUE(accept.Finish());
    EXPECT_TRUE(startShown) << "the dialog opens with the start folder selected";
    EXPECT_EQ(FolderDialogPath(dialog), start);

    DialogWatcher pick([&](HWND box) {
        SendMessageA(box, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(other.c_str()));
        ShowsSelected(box, "other");
        watch::Press(box, IDOK);
    });
    ASSERT_TRUE(ExecuteFolderDialog(dialog));
    EXPECT_TRUE(pick.Finish());
    EXPECT_EQ(FolderDialogPath(dialog), other);

    DialogWatcher cancel([&](HWND box) {
        SendMessageA(box, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(start.c_str()));
        watch::Press(box, IDCANCEL);
    });
    EXPECT_FALSE(ExecuteFolderDialog(dialog));
    EXPECT_TRUE(cancel.Finish());
    EXPECT_EQ(FolderDialogPath(dialog), other) << "a cancel keeps the last folder";
}

TEST_F(DialogTest, AFolderOutsideTheFileSystemIsNoChoiceAndKeepsThePath) {
    const std::string start = MakeFolder(folder_ + "kept");
    auto* dialog = CreateFolderDialog("Папка", BIF_STATUSTEXT); // any item may be chosen
    dialog_ = dialog;
    SetFolderDialogStart(dialog, start);
    DialogWatcher first([](HWND box) {
        ShowsSelected(box, "kept");
        watch::Press(box, IDOK);
    });
    ASSERT_TRUE(ExecuteFolderDialog(dialog));
    EXPECT_TRUE(first.Finish());
    ASSERT_EQ(FolderDialogPath(dialog), start);

    PIDLIST_ABSOLUTE computer = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer), S_OK);
    std::string title;
    DialogWatcher pick([&](HWND box) {
        for (const std::string& text : watch::ChildTexts(box)) {
            if (text == "Папка") title = text;
        }
        SendMessageA(box, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(computer));
        watch::Press(box, IDOK);
    });
    EXPECT_FALSE(ExecuteFolderDialog(dialog)) << "the computer has no path";
    EXPECT_TRUE(pick.Finish());
    CoTaskMemFree(computer);
    EXPECT_EQ(FolderDialogPath(dialog), start) << "neither emptied nor a display name";
    EXPECT_EQ(title, "Папка");
}
} // namespace
