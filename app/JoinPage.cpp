// The join page: choosing or dropping a piece, the folder for the joined file, and the join.
#include <shlobj.h>

#include "app/Operation.h"
#include "app/Pages.h"
#include "engine/system/Drives.h"
#include "engine/join/Join.h"
#include "engine/system/SameName.h"
#include "engine/system/Text.h"
#include "ui/Dialogs.h"

namespace {
// The user's documents folder, ending in "\"; empty when the system tells none.
std::string DocumentsFolder() {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, path)) || !*path) return {};
    const std::string folder = path;
    return folder.back() == '\\' ? folder : folder + "\\";
}

// Where the joined file goes when the piece lies on a drive whose disks the join may swap,
// which the join refuses as the output folder: the folder of the last split or join of this
// run, unless it lies on that drive too, else the user's documents.
std::string FolderOffTheDrive(MainWindow* w, const std::string& root) {
    const std::string& last = w->LastFolder;
    if (!last.empty() && !StartsWithSameName(FullPath(last), root)) return last;
    return DocumentsFolder();
}
} // namespace

void TakePiece(MainWindow* w, const std::string& path) {
    SetText(w->ChosenPieceBox, path);
    std::string folder = FolderPart(path);
    if (const std::optional<std::string> root = RemovableDriveRoot(path)) {
        const std::string off = FolderOffTheDrive(w, *root);
        if (!off.empty()) folder = off;
    }
    SetText(w->JoinFolderBox, folder);
}

void RememberFolder(MainWindow* w, const std::string& folder) {
    if (!folder.empty()) w->LastFolder = folder;
}

namespace {
void ChoosePiece(MainWindow* w, Control*) {
    if (!ExecuteOpenSaveDialog(w->FileDialog)) return;
    const std::string path = w->FileDialog->FileName;
    if (!UsableName(path)) return;
    TakePiece(w, path);
    w->FileDialog->InitialDir = FolderPart(path);
}

void ChooseJoinFolder(MainWindow* w, Control*) { ChooseFolderInto(w, w->JoinFolderBox); }

void JoinFolderLeft(MainWindow* w, Control*) { EnsureTrailingBackslash(w->JoinFolderBox); }

void PieceDropped(MainWindow* w, Control*, const std::string& names, POINT) {
    const std::string path = FirstDroppedName(names);
    if (UsableName(path)) TakePiece(w, path);
}

void StartJoin(MainWindow* w, Control*) {
    if (!MayStartOperation(w)) return;
    const std::string piece = GetText(w->ChosenPieceBox);
    const std::string folder = GetText(w->JoinFolderBox);
    RememberFolder(w, folder);
    OperationGuard guard(w);
    WindowHooks hooks(w);
    JoinPieces(piece, folder, hooks);
}
} // namespace

void WireJoinPage(MainWindow* w) {
    w->ChosenPieceBrowseButton->OnClick = MakeEvent<&ChoosePiece>(w);
    w->JoinFolderBrowseButton->OnClick = MakeEvent<&ChooseJoinFolder>(w);
    w->JoinFolderBox->OnLeave = MakeEvent<&JoinFolderLeft>(w);
    w->JoinButton->OnClick = MakeEvent<&StartJoin>(w);
    SetOnDropFiles(w->JoinPage, MakeEvent<&PieceDropped>(w));
}
