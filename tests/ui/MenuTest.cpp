// Menus from a text template: structure, numbering, ids, marks and commands on a real form.
#include "UiTest.h"

#include "ui/Menu.h"

namespace {
const std::vector<std::string> ProgramMenu = {
    "&Файл",    "(",       "Разделить",   "Соединить", "-", "Выход",  ")", "&Приоритет",  "(",
    "Реальный", "Высокий", "+Нормальный", "Низкий",    ")", "Помощь", "(", "О Программе", ")",
    ""};
const std::vector<std::string> ProgramItems = {
    "&Файл",    "Разделить", "Соединить",  "",       "Выход",  "&Приоритет",
    "Реальный", "Высокий",   "Нормальный", "Низкий", "Помощь", "О Программе"};
constexpr int Normal = 8;
constexpr int High = 7;

struct Chosen {
    std::vector<std::pair<std::string, int>> log;
};
void ItemEvent(Chosen* chosen, MenuObject*, int item) { chosen->log.push_back({"item", item}); }
void MenuEventOf(Chosen* chosen, MenuObject*, int item) { chosen->log.push_back({"menu", item}); }

class MenuTest : public UiTest {
  protected:
    // Chooses the item as the system reports a menu choice, through the queue.
    void Choose(Control* form, const MenuObject* item) {
        PostMessageA(form->Handle, WM_COMMAND, MAKEWPARAM(item->CommandId, 0), 0);
        DrainQueue();
    }
    std::string ShownText(const MenuObject* item) {
        char text[64] = {};
        GetMenuStringA(item->ParentMenu->MenuHandle, item->CommandId, text, sizeof text,
                       MF_BYCOMMAND);
        return text;
    }
};

TEST_F(MenuTest, TheProgramTemplateBuildsTheBarWithItemsNumberedAcrossLevels) {
    Control* form = MakeForm();
    MenuObject* menu = CreateMenuFromTemplate(form, ProgramMenu, {});
    ASSERT_NE(menu->MenuHandle, nullptr);
    EXPECT_EQ(form->MenuObject, menu);
    EXPECT_EQ(form->Menu, menu->MenuHandle) << "kept for the window that is made later";
    ShowForm();
    EXPECT_EQ(GetMenu(form->Handle), menu->MenuHandle);
    EXPECT_EQ(GetMenuItemCount(menu->MenuHandle), 3);

    const uint32_t firstId = MenuItem(menu, 0)->CommandId;
    uint32_t expectedId = firstId;
    for (int n = 0; n < static_cast<int>(ProgramItems.size()); ++n) {
        MenuObject* item = MenuItem(menu, n);
        ASSERT_NE(item, nullptr) << n;
        EXPECT_EQ(item->ItemCaption, ProgramItems[n]) << n;
        if (n == 3) {
            EXPECT_TRUE(item->IsSeparator);
            EXPECT_EQ(item->CommandId, 0u) << "a separator takes no command id";
            continue;
        }
        EXPECT_EQ(item->CommandId, expectedId++) << n;
        EXPECT_EQ(MenuItem(menu, static_cast<int>(item->CommandId)), item) << "found by its id";
        EXPECT_EQ(ShownText(item), ProgramItems[n]) << n;
    }
    EXPECT_EQ(MenuItem(menu, 12), nullptr);
    EXPECT_EQ(NextMenuId, expectedId);
    EXPECT_EQ(MenuItem(menu, 5)->SubItems.size(), 4u);
    EXPECT_EQ(GetSubMenu(menu->MenuHandle, 1), MenuItem(menu, 5)->MenuHandle);
    EXPECT_TRUE(MenuItem(menu, Normal)->IsCheckItem);
    EXPECT_TRUE(IsMenuItemChecked(MenuItem(menu, Normal))) << "\"+\" starts with its mark";
    EXPECT_FALSE(IsMenuItemChecked(MenuItem(menu, High)));
}

TEST_F(MenuTest, CommandsReachTheItemsEventOrTheMenusAndToggleTheCheckItem) {
    Control* form = MakeForm();
    Chosen chosen;
    MenuObject* menu = CreateMenuFromTemplate(form, ProgramMenu, MakeEvent<&MenuEventOf>(&chosen));
    std::vector<MenuEvent> events(ProgramItems.size(), MakeEvent<&ItemEvent>(&chosen));
    events[1] = {}; // "Разделить" falls back to the menu's own event
    events.push_back(MakeEvent<&ItemEvent>(&chosen)); // beyond the last item: ignored
    SetMenuItemEvents(menu, 0, events);
    ShowForm();

    Choose(form, MenuItem(menu, 1));
    Choose(form, MenuItem(menu, 11));
    Choose(form, MenuItem(menu, 4));
    EXPECT_EQ(chosen.log,
              (std::vector<std::pair<std::string, int>>{{"menu", 1}, {"item", 11}, {"item", 4}}));

    MenuObject* normal = MenuItem(menu, Normal);
    Choose(form, normal);
    EXPECT_FALSE(IsMenuItemChecked(normal));
    Choose(form, MenuItem(menu, High));
    EXPECT_FALSE(IsMenuItemChecked(normal)) << "another priority changes no mark";
    EXPECT_FALSE(IsMenuItemChecked(MenuItem(menu, High)));
    Choose(form, normal);
    EXPECT_TRUE(IsMenuItemChecked(normal)) << "chosen twice shows its mark again";

    PostMessageA(form->Handle, WM_COMMAND, MAKEWPARAM(MenuItem(menu, 7)->CommandId, 1), 0);
    DrainQueue();
    EXPECT_TRUE(menu->ByAccelerator);
    chosen.log.clear();
    PostMessageA(form->Handle, WM_COMMAND, 0, 0);
    DrainQueue();
    EXPECT_TRUE(chosen.log.empty()) << "id 0 is no item's, not even a separator's";
}

TEST_F(MenuTest, ARadioMarkMovesWithinItsRunOnly) {
    Control* form = MakeForm();
    MenuObject* menu = CreateMenuFromTemplate(form,
                                              {"&Приоритет", "(", "-!Реальный", "-!Высокий",
                                               "+!Нормальный", "-!Низкий", "Отдельно", "+!Другой",
                                               "-!Ещё", "-!!Новая", "+!Вторая", ")"},
                                              {});
    ShowForm();
    auto item = [&](int n) { return MenuItem(menu, n); };
    auto marks = [&] {
        std::string shown;
        for (int n = 1; n <= 9; ++n) shown += IsMenuItemChecked(item(n)) ? '*' : '.';
        return shown;
    };
    EXPECT_EQ(marks(), "..*..*..*");
    EXPECT_EQ(item(1)->RadioGroup, item(4)->RadioGroup);
    EXPECT_NE(item(6)->RadioGroup, item(1)->RadioGroup) << "a run after a plain item is apart";
    EXPECT_NE(item(8)->RadioGroup, item(7)->RadioGroup) << "\"!!\" starts the next group";
    EXPECT_EQ(item(9)->RadioGroup, item(8)->RadioGroup);

    Choose(form, item(2));
    EXPECT_EQ(marks(), ".*...*..*");
    Choose(form, item(2));
    EXPECT_EQ(marks(), ".*...*..*") << "a radio item stays marked";
    Choose(form, item(7));
    EXPECT_EQ(marks(), ".*....*.*");
    Choose(form, item(8));
    EXPECT_EQ(marks(), ".*....**.");
    Choose(form, item(5));
    EXPECT_EQ(marks(), ".*....**.") << "a plain item between runs gets no mark";
}

TEST_F(MenuTest, TemplatesEndAtAnEmptyTextOrTheirEndAndIdsStopAt16Bits) {
    Control* form = MakeForm();
    MenuObject* open = CreateMenuFromTemplate(form, {"A", "(", "B", "(", "C"}, {});
    EXPECT_EQ(MenuItem(open, 2)->ItemCaption, "C") << "a missing \")\" ends with the template";
    EXPECT_EQ(MenuItem(open, 3), nullptr);

    MenuObject* cut = CreateMenuFromTemplate(form, {"A", "(", "B", "", "C", ")", "D"}, {});
    EXPECT_EQ(open->NextMenu, cut) << "a second menu of the form joins the chain";
    EXPECT_EQ(MenuItem(cut, 1)->ItemCaption, "B");
    EXPECT_EQ(MenuItem(cut, 2), nullptr) << "an empty text ends every level";

    MenuObject* none = CreateMenuFromTemplate(nullptr, {"", "A"}, {});
    EXPECT_EQ(none->MenuHandle, nullptr);
    EXPECT_TRUE(none->SubItems.empty());
    FreeObject(none);

    NextMenuId = 0xFFFE;
    MenuObject* last = CreateMenuFromTemplate(nullptr, {"A", "-", "B", "C"}, {});
    EXPECT_EQ(MenuItem(last, 0)->CommandId, 0xFFFEu);
    EXPECT_EQ(MenuItem(last, 2)->CommandId, 0xFFFFu);
    EXPECT_EQ(MenuItem(last, 3)->CommandId, 0u) << "WM_COMMAND carries 16 bits of id";
    FreeObject(last);
    NextMenuId = FirstMenuId;
}

TEST_F(MenuTest, OnlyTheTopMenuDestroysItsBarAfterTheFormLetGoOfIt) {
    Control* form = MakeForm();
    ShowForm();
    RECT before{};
    GetClientRect(form->Handle, &before);
    MenuObject* menu = CreateMenuFromTemplate(form, ProgramMenu, {});
    MenuObject* popup = CreateMenuFromTemplate(form, {"Копировать"}, {});
    EXPECT_EQ(GetMenu(form->Handle), menu->MenuHandle) << "set at once on an existing window";
    RECT after{};
    GetClientRect(form->Handle, &after);
    EXPECT_LT(after.bottom, before.bottom) << "the bar takes its height from the client area";
    const HMENU bar = menu->MenuHandle;
    const HMENU sub = MenuItem(menu, 0)->MenuHandle;
    const HMENU second = popup->MenuHandle;

    const HMENU priority = MenuItem(menu, 5)->MenuHandle;
    FreeObject(MenuItem(menu, 5));
    menu->SubItems.erase(menu->SubItems.begin() + 1);
    EXPECT_TRUE(IsMenu(priority)) << "an item never destroys a handle";
    EXPECT_TRUE(IsMenu(bar));
    FreeObject(menu);
    EXPECT_EQ(GetMenu(form->Handle), nullptr);
    EXPECT_EQ(form->Menu, nullptr);
    EXPECT_EQ(form->MenuObject, nullptr);
    EXPECT_FALSE(IsMenu(bar));
    EXPECT_FALSE(IsMenu(sub));
    EXPECT_FALSE(IsMenu(priority));
    EXPECT_FALSE(IsMenu(second)) << "the form's further menus go with the first";

    MenuObject* again = CreateMenuFromTemplate(form, {"Файл", "(", "Выход", ")"}, {});
    const HMENU newBar = again->MenuHandle;
    EXPECT_EQ(GetMenu(form->Handle), newBar) << "a form without a menu gets a new bar";
    FreeObject(form);
    form_ = nullptr;
    EXPECT_FALSE(IsMenu(newBar)) << "freed with the form";
}
} // namespace
