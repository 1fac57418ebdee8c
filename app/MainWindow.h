// The main window: a fixed-size form with a menu bar, three pages (split, join, about) and a
// status bar. This record holds its controls and the state of its handlers; it is freed
// together with the form.
#pragma once
#include <string>

#include "engine/pieces/Calculator.h"
#include "ui/Control.h"

struct MenuObject;
struct OpenSaveDialog;
struct FolderDialog;

// The menu's items, all levels in the order the menu numbers them: each item before the items
// of its submenu, separators included. The build, the priority marks and the tests name them.
enum class MainMenuItem {
    File,
    Split,
    Join,
    Separator,
    Exit,
    Priority,
    Realtime,
    High,
    Normal,
    Idle,
    Help,
    About,
};
// The number the menu gives the item.
constexpr int MenuNumber(MainMenuItem item) { return static_cast<int>(item); }

struct MainMenuEntry {
    MainMenuItem item;
    int level;        // 0 on the menu bar, 1 in the submenu of the bar item above
    const char* text; // as the menu template writes it: "-" a separator, "!" a radio item
};
// The menu, in item order. The four priorities are one radio group, "Нормальный" marked.
inline constexpr MainMenuEntry MainMenuEntries[] = {
    {MainMenuItem::File, 0, "&Файл"},          {MainMenuItem::Split, 1, "Разделить"},
    {MainMenuItem::Join, 1, "Соединить"},      {MainMenuItem::Separator, 1, "-"},
    {MainMenuItem::Exit, 1, "Выход"},          {MainMenuItem::Priority, 0, "&Приоритет"},
    {MainMenuItem::Realtime, 1, "-!Реальный"}, {MainMenuItem::High, 1, "-!Высокий"},
    {MainMenuItem::Normal, 1, "+!Нормальный"}, {MainMenuItem::Idle, 1, "-!Низкий"},
    {MainMenuItem::Help, 0, "Помощь"},         {MainMenuItem::About, 1, "О Программе"},
};
constexpr bool EntriesInItemOrder() {
    int number = 0;
    for (const MainMenuEntry& entry : MainMenuEntries) {
        if (MenuNumber(entry.item) != number++) return false;
    }
    return true;
}
static_assert(EntriesInItemOrder(), "an entry's place is the number the menu gives its item");

struct MainWindow : BaseObject {
    Control* Applet = nullptr;
    Control* Form = nullptr;
    MenuObject* MainMenu = nullptr;
    OpenSaveDialog* FileDialog = nullptr;
    FolderDialog* FolderDialog = nullptr;
    Control* MainTabs = nullptr;
    Control* SplitPage = nullptr;
    Control* JoinPage = nullptr;
    Control* AboutPage = nullptr;

    // The split page.
    Control* TargetFolderLabel = nullptr;
    Control* SourceFileLabel = nullptr;
    Control* SourceFileBox = nullptr;
    Control* TargetFolderBox = nullptr;
    Control* SourceBrowseButton = nullptr;
    Control* TargetBrowseButton = nullptr;
    Control* SplitButton = nullptr;
    Control* RecoveryBox = nullptr; // "<file name>.par2" beside the pieces
    // How many pieces it rebuilds: a number box and its arrows, with their label.
    Control* RecoverySlicesLabel = nullptr;
    Control* RecoverySlicesBox = nullptr;
    Control* RecoverySlicesArrows = nullptr;
    Control* MethodGroup = nullptr;
    Control* PiecesWordLabel = nullptr;
    Control* DiskRadio = nullptr;
    Control* SizeRadio = nullptr;
    Control* CountRadio = nullptr;
    Control* SizeBox = nullptr;
    Control* CountBox = nullptr;
    Control* UnitList = nullptr;
    Control* FiguresGroup = nullptr;
    Control* FileSizeLabel = nullptr;
    Control* PieceCountLabel = nullptr;
    Control* PieceSizeLabel = nullptr;

    // The join page.
    Control* JoinFolderLabel = nullptr;
    Control* ChosenPieceLabel = nullptr;
    Control* ChosenPieceBox = nullptr;
    Control* JoinFolderBox = nullptr;
    Control* ChosenPieceBrowseButton = nullptr;
    Control* JoinFolderBrowseButton = nullptr;
    Control* JoinButton = nullptr;
    Control* PieceList = nullptr;

    // The size box's keystroke filter.
    SizeKeyFilter SizeFilter;
    // The source the figures were last computed for.
    std::string FiguresSource;
    // The target folder of the last split or join of this run; nothing is kept between runs.
    std::string LastFolder;
    // A split or a join is running: no second one may start.
    bool Busy = false;
    // The window was asked to close while an operation ran; it closes when it ends.
    bool CloseRequested = false;
    // The user chose to stop the running operation; it stops at its next yield.
    bool StopRequested = false;
    // The question whether to stop is open.
    bool AskingToStop = false;
    // The bar at the right end of the status bar while an operation runs, and its percent.
    Control* ProgressBar = nullptr;
    int ShownPercent = -1;
};

// Builds the whole window, owned by the applet; its windows appear when the run loop starts.
// Null when the system makes no windows (no desktop, no display driver).
MainWindow* BuildMainWindow(Control* applet);
