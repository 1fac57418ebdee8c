// The main window's build: every control with its place, text, font and first state, the
// menu and the two shared dialogs, then the event wiring.
#include "app/MainWindow.h"

#include "app/Pages.h"
#include "ui/Applet.h"
#include "ui/Dialogs.h"
#include "ui/EffectLabel.h"
#include "ui/Font.h"
#include "ui/Form.h"
#include "ui/Geometry.h"
#include "ui/Items.h"
#include "ui/Kinds.h"
#include "ui/Menu.h"
#include "ui/TabControl.h"
#include "ui/UpDown.h"

namespace {
constexpr int ClientWidth = 623;
constexpr int ClientHeight = 292;
constexpr int32_t Blue = RGB(0, 0, 255);
constexpr uint8_t AnsiCharset = ANSI_CHARSET;
constexpr uint8_t DefaultCharset = DEFAULT_CHARSET;

Control* Place(Control* ctl, int x, int y, int width, int height) {
    return SetSize(SetPosition(ctl, x, y), width, height);
}

Control* WithFontHeight(Control* ctl, int32_t height) {
    SetFontHeight(Font(ctl), height);
    return ctl;
}

Control* WithCharset(Control* ctl, uint8_t charset) {
    SetFontCharset(Font(ctl), charset);
    return ctl;
}

Control* OnWindowBackground(Control* ctl) {
    SetColor(ctl, ColorWindow);
    return ctl;
}

// The about page's painted labels: centred, at the top, blue bold italic Arial with a
// one-pixel shadow in the button-shadow colour.
Control* MakeEffectLabel(Control* page, const std::string& text, int x, int y, int width,
                         int height, int32_t fontHeight) {
    Control* label = Place(CreateEffectLabel(page, text, 1), x, y, width, height);
    GdiTool* font = Font(label);
    SetFontName(font, "Arial");
    SetFontStyle(font, FontBold | FontItalic);
    SetFontColor(font, Blue);
    SetFontHeight(font, fontHeight);
    SetVerticalAlign(label, VerticalAlignment::Top);
    SetShadowColor(label, ColorBtnShadow);
    return label;
}

void BuildSplitPage(MainWindow* w) {
    Control* page = w->SplitPage;
    w->TargetFolderLabel = Place(CreateLabel(page, "Выбор папки для частей :"), 8, 50, 433, 22);
    w->SourceFileLabel = Place(CreateLabel(page, "Выбор файла для разделения :"), 8, 2, 433, 22);
    w->SourceFileBox = OnWindowBackground(Place(CreateEditBox(page, 0), 8, 24, 569, 22));
    w->TargetFolderBox = OnWindowBackground(Place(CreateEditBox(page, 0), 8, 72, 569, 22));
    w->SourceBrowseButton = WithFontHeight(Place(CreateButton(page, "..."), 576, 24, 24, 22), -1);
    w->TargetBrowseButton = WithFontHeight(Place(CreateButton(page, "..."), 576, 72, 24, 22), -1);
    // In the page's font, in the free room left of the button it goes with.
    w->RecoveryBox = Place(CreateCheckBox(page, "Файл восстановления (.par2)"), 8, 198, 250, 22);
    // Between the box and the button, next in the tab order: how many pieces the file rebuilds.
    w->RecoverySlicesLabel = Place(CreateLabel(page, "Восстановит частей :"), 262, 202, 120, 16);
    w->RecoverySlicesBox =
        OnWindowBackground(Place(CreateEditBox(page, EditDigitsOnly), 386, 198, 48, 22));
    w->RecoverySlicesArrows = Place(CreateUpDown(page, w->RecoverySlicesBox), 434, 198, 16, 22);
    w->SplitButton =
        WithCharset(Place(CreateButton(page, "Разделить"), 472, 198, 129, 22), AnsiCharset);
    w->MethodGroup =
        WithFontHeight(Place(CreateGroupBox(page, "Метод разделения"), 8, 96, 401, 97), -1);
    w->MethodGroup->TabStop = false;

    Control* group = w->MethodGroup;
    w->PiecesWordLabel = WithFontHeight(Place(CreateLabel(group, "частей"), 215, 74, 138, 12), -8);
    w->DiskRadio = WithFontHeight(
        Place(CreateRadioBox(group, "Разделение на всё свободное место :"), 9, 16, 256, 22), -8);
    w->SizeRadio = WithFontHeight(
        Place(CreateRadioBox(group, "Разделение на части размером :"), 8, 44, 188, 22), -8);
    w->CountRadio =
        WithFontHeight(Place(CreateRadioBox(group, "Разделение на "), 8, 72, 97, 22), -8);
    w->SizeBox = OnWindowBackground(Place(CreateComboBox(group, 0), 200, 44, 100, 20));
    w->CountBox = OnWindowBackground(Place(CreateEditBox(group, EditDigitsOnly), 110, 72, 99, 20));
    w->UnitList = OnWindowBackground(
        Place(CreateComboBox(group, ComboDropDownList | ComboNoIntegralHeight), 304, 44, 89, 20));

    w->FiguresGroup = Place(CreateGroupBox(page, "Размеры"), 416, 96, 185, 97);
    w->FiguresGroup->TabStop = false;
    // The figures run to 13 digits: each label takes the group's whole inner width.
    Control* figures = w->FiguresGroup;
    const int figureWidth = 185 - 2 * figures->Margin - 8 - 2;
    w->FileSizeLabel = WithCharset(
        Place(CreateLabel(figures, FileSizeStartText), 8, 23, figureWidth, 16), AnsiCharset);
    w->PieceCountLabel = WithCharset(
        Place(CreateLabel(figures, PieceCountStartText), 8, 70, figureWidth, 17), AnsiCharset);
    w->PieceSizeLabel = WithCharset(
        Place(CreateLabel(figures, PieceSizeStartText), 8, 47, figureWidth, 17), AnsiCharset);

    SetText(w->CountBox, "1");
    SetText(w->RecoverySlicesBox, "1");
    SetEnabled(w->RecoverySlicesBox, false);
    SetEnabled(w->RecoverySlicesArrows, false);
    int i = 0;
    for (const char* item : {"360", "720", "1.2", "1.44", "2.88"}) SetItem(w->SizeBox, i++, item);
    i = 0;
    for (const char* item : {"bytes", "kB", "MB"}) SetItem(w->UnitList, i++, item);
    SetCurIndex(w->SizeBox, 0);
    SetCurIndex(w->UnitList, 0);
    SetEnabled(w->SizeBox, false);
    SetEnabled(w->CountBox, false);
    SetEnabled(w->UnitList, false);
}

void BuildJoinPage(MainWindow* w) {
    Control* page = w->JoinPage;
    w->JoinFolderLabel = WithFontHeight(
        Place(CreateLabel(page, "Выбор папки для соединеного файла :"), 8, 50, 433, 22), -1);
    w->ChosenPieceLabel = WithFontHeight(
        Place(CreateLabel(page, "Выдор одной из частей для востановления :"), 8, 2, 433, 22), -1);
    w->ChosenPieceBox =
        WithFontHeight(OnWindowBackground(Place(CreateEditBox(page, 0), 8, 24, 569, 22)), -1);
    w->JoinFolderBox =
        WithFontHeight(OnWindowBackground(Place(CreateEditBox(page, 0), 8, 72, 569, 22)), -1);
    w->ChosenPieceBrowseButton = Place(CreateButton(page, "..."), 576, 24, 24, 23);
    w->JoinFolderBrowseButton = Place(CreateButton(page, "..."), 576, 72, 24, 22);
    w->JoinButton = WithFontHeight(Place(CreateButton(page, "Соединить"), 472, 198, 129, 22), -1);
    w->PieceList = WithFontHeight(
        OnWindowBackground(Place(CreateListBox(page, ListNoIntegralHeight), 8, 104, 593, 89)), -1);
}

void BuildAboutPage(MainWindow* w) {
    Control* page = w->AboutPage;
    WithCharset(Place(CreateLabel(page, "Команда Varnok"), 64, 208, 97, 17), AnsiCharset);
    MakeEffectLabel(page, "© Разработчики Varnok. Все права защищены.", 80, 104, 450, 40, 18);
    MakeEffectLabel(page, "2003", 88, 144, 450, 40, 0);
    Control* title = MakeEffectLabel(page, "Varnok ", 88, 24, 449, 33, 28);
    SetColor(title, ColorBtnFace);
    WithCharset(Place(CreateLabel(page, "Разработчики:"), 8, 192, 161, 17), AnsiCharset);
    MakeEffectLabel(page, "v 0.97", 88, 64, 449, 40, 16);
}

// The menu template of the entries: "(" after an item opens its submenu, ")" closes it.
std::vector<std::string> MenuTemplate() {
    std::vector<std::string> texts;
    int level = 0;
    for (const MainMenuEntry& entry : MainMenuEntries) {
        for (; level < entry.level; ++level) texts.push_back("(");
        for (; level > entry.level; --level) texts.push_back(")");
        texts.push_back(entry.text);
    }
    for (; level > 0; --level) texts.push_back(")");
    return texts;
}

void OnMenuItem(MainWindow* w, MainMenuItem item, MenuEvent event) {
    SetMenuItemEvents(w->MainMenu, MenuNumber(item), {event});
}

void ShowPage(MainWindow* w, int index) { SetCurIndex(w->MainTabs, index); }
void ShowSplitPage(MainWindow* w, MenuObject*, int) { ShowPage(w, 0); }
void ShowJoinPage(MainWindow* w, MenuObject*, int) { ShowPage(w, 1); }
void ShowAboutPage(MainWindow* w, MenuObject*, int) { ShowPage(w, 2); }
void Exit(MainWindow* w, MenuObject*, int) { PostClose(w->Applet); }
void PriorityRealtime(MainWindow* w, MenuObject*, int) {
    ChangePriority(w, PriorityLevel::Realtime);
}
void PriorityHigh(MainWindow* w, MenuObject*, int) { ChangePriority(w, PriorityLevel::High); }
void PriorityNormal(MainWindow* w, MenuObject*, int) { ChangePriority(w, PriorityLevel::Normal); }
void PriorityIdle(MainWindow* w, MenuObject*, int) { ChangePriority(w, PriorityLevel::Idle); }

// The main menu; the four priorities are one radio group whose mark follows the class the
// process really got.
void BuildMenu(MainWindow* w, Control* form) {
    w->MainMenu = CreateMenuFromTemplate(form, MenuTemplate(), {});
    OnMenuItem(w, MainMenuItem::Split, MakeEvent<&ShowSplitPage>(w));
    OnMenuItem(w, MainMenuItem::Join, MakeEvent<&ShowJoinPage>(w));
    OnMenuItem(w, MainMenuItem::Exit, MakeEvent<&Exit>(w));
    OnMenuItem(w, MainMenuItem::Realtime, MakeEvent<&PriorityRealtime>(w));
    OnMenuItem(w, MainMenuItem::High, MakeEvent<&PriorityHigh>(w));
    OnMenuItem(w, MainMenuItem::Normal, MakeEvent<&PriorityNormal>(w));
    OnMenuItem(w, MainMenuItem::Idle, MakeEvent<&PriorityIdle>(w));
    OnMenuItem(w, MainMenuItem::About, MakeEvent<&ShowAboutPage>(w));
}

// The file and folder dialogs both pages share, freed with the window object.
void BuildDialogs(MainWindow* w) {
    w->FileDialog =
        CreateOpenSaveDialog("Choose file to slice", "",
                             OpenFileMustExist | OpenHideReadOnly | OpenNoChangeDir |
                                 OpenOverwritePrompt | OpenPathMustExist | OpenReadOnly);
    w->FileDialog->Filter = "Any Files|*.*|Varnoks|*.brf";
    w->FolderDialog = CreateFolderDialog("", 0);
    AddAutoFree(w, w->FileDialog);
    AddAutoFree(w, w->FolderDialog);
}
// The tabs and their three pages; false when the pages cannot be made: they are the items of
// the tab control's window, which without a desktop or a display driver is not made.
bool BuildTabs(MainWindow* w, Control* form) {
    w->MainTabs = CreateTabControl(form, {"Разделение", "Соединение", "О Программе"});
    SetAlign(w->MainTabs, Alignment::Client);
    w->MainTabs->TabStop = false;
    w->SplitPage = TabPage(w->MainTabs, 0);
    w->JoinPage = TabPage(w->MainTabs, 1);
    w->AboutPage = TabPage(w->MainTabs, 2);
    if (!w->SplitPage || !w->JoinPage || !w->AboutPage) return false;
    for (Control* page : {w->SplitPage, w->JoinPage, w->AboutPage}) {
        SetFontCharset(Font(page), DefaultCharset);
    }
    return true;
}
} // namespace

MainWindow* BuildMainWindow(Control* applet) {
    // 1. The window object and the form.
    MainWindow* w = NewObject<MainWindow>();
    w->Applet = applet;
    Control* form = CreateForm(applet, "Varnok");
    w->Form = form;
    SetClientSize(form, ClientWidth, ClientHeight);
    AddAutoFree(form, w);
    form->SizeGrip = false;
    SetStyle(form, form->Style & ~WS_MAXIMIZEBOX);
    LoadWindowIcon(form, GetModuleHandleA(nullptr), "MAINICON");
    SetFontHeight(Font(form), -8);
    SetFontCharset(Font(form), AnsiCharset);

    // 2. The menu.
    BuildMenu(w, form);
    // The menu bar takes its height from the client area: give the pages their full size.
    SetClientSize(form, ClientWidth, ClientHeight);

    // 3. The shared dialogs.
    BuildDialogs(w);

    // 4. The tabs and their pages.
    if (!BuildTabs(w, form)) {
        FreeObject(form);
        return nullptr;
    }

    // 5 - 7. What the pages hold.
    BuildSplitPage(w);
    BuildJoinPage(w);
    BuildAboutPage(w);

    // 8. The events.
    WireSplitPage(w);
    WireJoinPage(w);
    WireClosing(w);

    // 9. Dialogs are owned by the window.
    w->FileDialog->OwnerWindow = WindowHandle(form);
    w->FolderDialog->OwnerWindow = WindowHandle(form);

    // 10. The size is fixed from here on.
    SetCanResize(form, false);
    MinimizeFromFormPlace(form);

    // 11. The status bar.
    SetStatusText(form, 0, "Статус : ");
    SetStatusText(form, 1, "Готов к работе");
    SetStatusSectionRight(form, 0, 60);
    return w;
}
