// The split page: choosing or dropping the source, the target folder, the method and its
// boxes, the figures, and the split itself.
#include <algorithm>

#include "app/Operation.h"
#include "app/Pages.h"
#include "engine/pieces/Figures.h"
#include "engine/pieces/PieceSet.h"
#include "engine/pieces/SplitLimits.h"
#include "engine/recovery/Par2.h"
#include "engine/split/DiskVolumes.h"
#include "engine/split/Split.h"
#include "engine/system/Text.h"
#include "ui/Applet.h"
#include "ui/Dialogs.h"
#include "ui/Geometry.h"
#include "ui/Items.h"
#include "ui/UpDown.h"

namespace {
// The bytes of one unit as the unit list shows it now.
int64_t CurrentUnitMultiplier(MainWindow* w) {
    return UnitMultiplierAt(GetCurIndex(w->UnitList)).value_or(1);
}

void ShowFigures(MainWindow* w, const SizeFigures& figures) {
    if (figures.pieceSize) SetText(w->PieceSizeLabel, *figures.pieceSize);
    if (figures.fileSize) SetText(w->FileSizeLabel, *figures.fileSize);
    if (figures.pieceCount) SetText(w->PieceCountLabel, *figures.pieceCount);
}

// The pieces a split of the controls as they are now would make; 0 when it would make none
// or the disk method decides.
int64_t PlannedPieces(MainWindow* w) {
    const int64_t fileSize = static_cast<int64_t>(LookupFileSize(GetText(w->SourceFileBox)));
    if (IsChecked(w->CountRadio)) {
        const int64_t count = ParseDecimalWide(GetText(w->CountBox));
        return JudgeCount(count, fileSize) == SplitNumber::Splittable ? count : 0;
    }
    if (!IsChecked(w->SizeRadio)) return 0;
    const int64_t value = ParseDecimalWide(GetText(w->SizeBox)), unit = CurrentUnitMultiplier(w);
    if (JudgeSize(value, unit, fileSize) != SplitNumber::Splittable) return 0;
    return PlanBySize(fileSize, PieceBytes(value, unit)).count;
}

// The most pieces the recovery file may be asked to rebuild: the pieces planned, within the
// format's limit (any of it while the plan is not known); onto disks, whose pieces are known
// only at the end, the volumes a disk set may have.
int64_t MostRecoverySlices(MainWindow* w) {
    if (IsChecked(w->DiskRadio)) return MostDiskVolumes;
    const int64_t planned = PlannedPieces(w);
    return planned > 0 ? std::min(planned, Par2MostPieces) : Par2MostPieces;
}

// The recovery field's number within 1 .. the most; the arrows step through that range.
int64_t RecoverySlices(MainWindow* w) {
    const int64_t most = MostRecoverySlices(w);
    SetUpDownRange(w->RecoverySlicesArrows, 1, static_cast<int>(most));
    const int64_t asked = ParseDecimalWide(GetText(w->RecoverySlicesBox));
    return std::clamp<int64_t>(asked, 1, most);
}

void KeepRecoverySlicesInRange(MainWindow* w) {
    const std::string shown = DecimalText(RecoverySlices(w));
    if (GetText(w->RecoverySlicesBox) != shown) SetText(w->RecoverySlicesBox, shown);
}

// The field counts only while the box is checked.
void EnableRecoverySlices(MainWindow* w) {
    const bool on = IsChecked(w->RecoveryBox);
    SetEnabled(w->RecoverySlicesBox, on);
    SetEnabled(w->RecoverySlicesArrows, on);
}

// The figures always describe what a split of the controls as they are now would do.
void RefreshFigures(MainWindow* w) {
    KeepRecoverySlicesInRange(w);
    const std::string source = GetText(w->SourceFileBox);
    w->FiguresSource = source;
    if (IsChecked(w->SizeRadio)) {
        ShowFigures(w, FiguresBySize(GetText(w->SizeBox), CurrentUnitMultiplier(w), source));
    } else if (IsChecked(w->CountRadio)) {
        ShowFigures(w, FiguresByCount(GetText(w->CountBox), source));
    } else {
        SetText(w->FileSizeLabel, FileSizeFigure(source));
        SetText(w->PieceSizeLabel, PieceSizeStartText);
        SetText(w->PieceCountLabel, PieceCountStartText);
    }
}

void TakeSource(MainWindow* w, const std::string& path) {
    SetText(w->SourceFileBox, path);
    RefreshFigures(w);
}

void ChooseSource(MainWindow* w, Control*) {
    if (!ExecuteOpenSaveDialog(w->FileDialog)) return;
    const std::string path = w->FileDialog->FileName;
    if (!UsableName(path)) return;
    TakeChosenSource(w, path);
}

void ChooseTargetFolder(MainWindow* w, Control*) { ChooseFolderInto(w, w->TargetFolderBox); }

void TargetFolderLeft(MainWindow* w, Control*) { EnsureTrailingBackslash(w->TargetFolderBox); }

// A source typed into the box counts once the focus leaves it.
void SourceLeft(MainWindow* w, Control*) {
    if (GetText(w->SourceFileBox) != w->FiguresSource) RefreshFigures(w);
}

void SourceDropped(MainWindow* w, Control*, const std::string& names, POINT) {
    const std::string path = FirstDroppedName(names);
    if (!UsableName(path)) return;
    TakeSource(w, path);
    SetText(w->TargetFolderBox, FolderPart(path));
}

void MethodClicked(MainWindow* w, Control*) {
    const bool bySize = IsChecked(w->SizeRadio);
    SetEnabled(w->SizeBox, bySize);
    SetEnabled(w->UnitList, bySize);
    SetEnabled(w->CountBox, IsChecked(w->CountRadio));
    EnableRecoverySlices(w);
    RefreshFigures(w);
}

void RecoveryClicked(MainWindow* w, Control*) { EnableRecoverySlices(w); }

void RecoverySlicesLeft(MainWindow* w, Control*) { KeepRecoverySlicesInRange(w); }

void SizeCharTyped(MainWindow* w, Control*, WPARAM& key, uint32_t) {
    w->SizeFilter.CharacterTyped(GetText(w->SizeBox), static_cast<char>(key));
}

void SizeChanged(MainWindow* w, Control*) {
    const std::string text = GetText(w->SizeBox);
    const std::string shown = w->SizeFilter.TextChanged(text);
    if (shown != text) SetText(w->SizeBox, shown);
    RefreshFigures(w);
}

void FiguresChanged(MainWindow* w, Control*) { RefreshFigures(w); }

SplitMethod CheckedMethod(MainWindow* w) {
    if (IsChecked(w->CountRadio)) return SplitMethod::ByCount;
    if (IsChecked(w->SizeRadio)) return SplitMethod::BySize;
    return SplitMethod::OntoDisks;
}

void StartSplit(MainWindow* w, Control*) {
    if (!MayStartOperation(w)) return;
    // The split works on the values of the click, whatever happens in the window meanwhile.
    SplitRequest request;
    request.sourcePath = GetText(w->SourceFileBox);
    request.targetFolder = GetText(w->TargetFolderBox);
    request.method = CheckedMethod(w);
    request.count = ParseDecimalWide(GetText(w->CountBox));
    request.sizeValue = ParseDecimalWide(GetText(w->SizeBox));
    request.unitMultiplier = CurrentUnitMultiplier(w);
    request.recovery = IsChecked(w->RecoveryBox);
    request.recoverySlices = RecoverySlices(w);
    RememberFolder(w, request.targetFolder);
    OperationGuard guard(w);
    WindowHooks hooks(w);
    SplitFile(request, hooks);
}
} // namespace

void TakeChosenSource(MainWindow* w, const std::string& path) {
    TakeSource(w, path);
    if (GetText(w->TargetFolderBox).empty()) {
        SetText(w->TargetFolderBox, FolderPart(path));
        SetFolderDialogStart(w->FolderDialog, GetText(w->TargetFolderBox));
    }
}

void EnsureTrailingBackslash(Control* box) {
    const std::string text = GetText(box);
    if (!text.empty() && text.back() != '\\') SetText(box, text + "\\");
}

void ChooseFolderInto(MainWindow* w, Control* box) {
    if (!ExecuteFolderDialog(w->FolderDialog)) return;
    const std::string folder = FolderDialogPath(w->FolderDialog);
    SetText(box, folder);
    // The next browse on either page opens there.
    SetFolderDialogStart(w->FolderDialog, folder);
    EnsureTrailingBackslash(box);
}

std::string FirstDroppedName(const std::string& names) { return names.substr(0, names.find('\r')); }

bool UsableName(const std::string& name) {
    if (!name.empty()) return true;
    MessageBoxOk("Имя файла содержит символы, с которыми программа не может работать. "
                 "Переименуйте файл, оставив в имени только русские и латинские буквы, цифры "
                 "и знаки, и выберите его снова.");
    return false;
}

void WireSplitPage(MainWindow* w) {
    w->SourceBrowseButton->OnClick = MakeEvent<&ChooseSource>(w);
    w->TargetBrowseButton->OnClick = MakeEvent<&ChooseTargetFolder>(w);
    w->TargetFolderBox->OnLeave = MakeEvent<&TargetFolderLeft>(w);
    w->SourceFileBox->OnLeave = MakeEvent<&SourceLeft>(w);
    for (Control* radio : {w->DiskRadio, w->SizeRadio, w->CountRadio}) {
        radio->OnClick = MakeEvent<&MethodClicked>(w);
    }
    SetOnChar(w->SizeBox, MakeEvent<&SizeCharTyped>(w));
    w->SizeBox->OnChange = MakeEvent<&SizeChanged>(w);
    w->CountBox->OnChange = MakeEvent<&FiguresChanged>(w);
    w->UnitList->OnChange = MakeEvent<&FiguresChanged>(w);
    w->UnitList->OnCloseUp = MakeEvent<&FiguresChanged>(w);
    w->SizeBox->OnCloseUp = MakeEvent<&FiguresChanged>(w);
    w->SplitButton->OnClick = MakeEvent<&StartSplit>(w);
    w->RecoveryBox->OnClick = MakeEvent<&RecoveryClicked>(w);
    w->RecoverySlicesBox->OnLeave = MakeEvent<&RecoverySlicesLeft>(w);
    SetOnDropFiles(w->SplitPage, MakeEvent<&SourceDropped>(w));
}
