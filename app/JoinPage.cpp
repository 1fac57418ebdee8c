// The join page: choosing or dropping a piece, the folder for the joined file, and the join.
#include "app/Operation.h"
#include "app/Pages.h"
#include "engine/Join.h"
#include "engine/Text.h"
#include "ui/Dialogs.h"

void TakePiece(MainWindow* w, const std::string& path) {
    SetText(w->ChosenPieceBox, path);
    SetText(w->JoinFolderBox, FolderPart(path));
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
