// Menus built from a text template, their check and radio marks and the command handler
// that turns a chosen item into its event.
#include "ui/Menu.h"

#include "ui/Control.h"

namespace {
constexpr uint32_t LastCommandId = 0xFFFF; // WM_COMMAND carries 16 bits of id
constexpr ULONG_PTR CheckItemData = 0x40000000;
constexpr ULONG_PTR RadioItemData = 0x80000000;

uint32_t TakeCommandId() {
    // Once the ids are used up an item gets none: it can no longer be told apart.
    if (NextMenuId > LastCommandId) return 0;
    return NextMenuId++;
}

// Parses the sign, the radio marks and the caption of one template text into item.
void ReadItemText(const std::string& text, MenuObject* item, const MenuObject* previous,
                  int32_t& lastGroup, MENUITEMINFOA& info) {
    if (text == "-") {
        item->IsSeparator = true;
        info.fType = MFT_SEPARATOR;
        info.fState = MFS_GRAYED;
        return;
    }
    size_t start = 0;
    if (text.size() > 1 && (text[0] == '+' || text[0] == '-')) {
        item->IsCheckItem = true;
        info.dwItemData = CheckItemData;
        if (text[0] == '+') info.fState |= MFS_CHECKED;
        start = 1;
        int marks = 0;
        while (start < text.size() && text[start] == '!' && marks < 2) {
            ++marks;
            ++start;
        }
        if (marks > 0) {
            // One "!" joins the run of the item before; a second one starts a new group, as
            // does a radio item that follows no radio item.
            const bool continues = marks == 1 && previous && previous->RadioGroup != 0;
            item->RadioGroup = continues ? previous->RadioGroup : ++lastGroup;
            info.fType |= MFT_RADIOCHECK;
            info.dwItemData |= RadioItemData;
        }
    }
    item->ItemCaption = text.substr(start);
}

// Adds the items from template index i to menu until ")" or the end; returns the index
// after the ")" that closed this level (or the end).
size_t AddItems(MenuObject* menu, HMENU handle, const std::vector<std::string>& texts, size_t i,
                int32_t& lastGroup) {
    while (i < texts.size() && !texts[i].empty()) {
        if (texts[i] == ")") return i + 1;
        auto* item = NewObject<MenuObject>();
        item->ParentMenu = menu;
        const MenuObject* previous = menu->SubItems.empty() ? nullptr : menu->SubItems.back();
        menu->SubItems.push_back(item);

        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_TYPE | MIIM_DATA;
        ReadItemText(texts[i], item, previous, lastGroup, info);
        if (!item->IsSeparator) {
            item->CommandId = TakeCommandId();
            info.dwTypeData = item->ItemCaption.data();
        }
        info.wID = item->CommandId;
        const bool opens = i + 1 < texts.size() && texts[i + 1] == "(";
        if (opens) {
            item->MenuHandle = CreatePopupMenu();
            info.hSubMenu = item->MenuHandle;
        }
        InsertMenuItemA(handle, 0xFFFFFFFF, TRUE, &info);
        if (opens) {
            int32_t subGroup = 0;
            i = AddItems(item, item->MenuHandle, texts, i + 2, subGroup);
        } else {
            ++i;
        }
    }
    // An empty text or the end of the template ends every level.
    return texts.size();
}

// Counts items in template order, each before its submenu's; number counts down to the item.
MenuObject* ItemByNumber(MenuObject* menu, int& number) {
    for (MenuObject* item : menu->SubItems) {
        if (number-- == 0) return item;
        if (MenuObject* found = ItemByNumber(item, number)) return found;
    }
    return nullptr;
}

MenuObject* ItemById(MenuObject* menu, uint32_t id) {
    for (MenuObject* item : menu->SubItems) {
        if (item->CommandId == id) return item;
        if (MenuObject* found = ItemById(item, id)) return found;
    }
    return nullptr;
}

// The item's number in template order; counted is the number of items passed so far.
bool FindNumber(const MenuObject* menu, const MenuObject* wanted, int& counted) {
    for (const MenuObject* item : menu->SubItems) {
        if (item == wanted) return true;
        ++counted;
        if (FindNumber(item, wanted, counted)) return true;
    }
    return false;
}

int NumberOf(const MenuObject* top, const MenuObject* wanted) {
    int counted = 0;
    return FindNumber(top, wanted, counted) ? counted : -1;
}

int PositionOf(const MenuObject* item) {
    const auto& siblings = item->ParentMenu->SubItems;
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i] == item) return static_cast<int>(i);
    }
    return -1;
}

void ToggleCheck(MenuObject* item) {
    HMENU parent = item->ParentMenu->MenuHandle;
    const UINT position = static_cast<UINT>(PositionOf(item));
    const UINT state = GetMenuState(parent, position, MF_BYPOSITION);
    CheckMenuItem(parent, position,
                  MF_BYPOSITION | ((state & MF_CHECKED) ? MF_UNCHECKED : MF_CHECKED));
}

// WM_COMMAND of a menu (or an accelerator): marks, then the item's event or the menu's.
bool MenuCommandHandler(Control* form, Message& m, LRESULT& result) {
    if (m.msg != WM_COMMAND || m.lParam != 0 || HIWORD(m.wParam) > 1) return false;
    const uint32_t id = LOWORD(m.wParam);
    if (id == 0) return false;
    for (auto* top = static_cast<MenuObject*>(form->MenuObject); top; top = top->NextMenu) {
        MenuObject* item = ItemById(top, id);
        if (!item) continue;
        result = 0;
        top->ByAccelerator = HIWORD(m.wParam) != 0;
        if (item->RadioGroup != 0) {
            SetMenuRadioMark(item);
        } else if (item->IsCheckItem) {
            ToggleCheck(item);
        }
        // The event may free the menu with its form; the top object stays until it returns.
        RefInc(top);
        const int number = NumberOf(top, item);
        (item->OnMenuItem ? item->OnMenuItem : top->OnMenuItem)(top, number);
        RefDec(top);
        return true;
    }
    return false;
}

} // namespace

void MenuObject::Destroy() {
    for (MenuObject* item : SubItems) FreeObject(item);
    SubItems.clear();
    // Only the top menu owns the handle; DestroyMenu takes the submenus with it.
    if (!ParentMenu && MenuHandle) {
        // The window lets go of its menu bar before the bar is destroyed.
        if (OwnerControl) {
            HWND window = OwnerControl->Handle;
            if (window && IsWindow(window) && GetMenu(window) == MenuHandle) SetMenu(window, 0);
            if (OwnerControl->Menu == MenuHandle) OwnerControl->Menu = nullptr;
        }
        DestroyMenu(MenuHandle);
    }
    MenuHandle = nullptr;
    if (OwnerControl && OwnerControl->MenuObject == this) OwnerControl->MenuObject = nullptr;
    FreeObject(NextMenu);
    NextMenu = nullptr;
    BaseObject::Destroy();
}

MenuObject* CreateMenuFromTemplate(Control* parent, const std::vector<std::string>& menuTemplate,
                                   MenuEvent onItem) {
    MenuObject* top = NewObject<MenuObject>();
    top->OnMenuItem = onItem;
    const bool isBar = parent && parent->IsForm && !parent->MenuObject;
    if (!menuTemplate.empty() && !menuTemplate.front().empty()) {
        top->MenuHandle = isBar ? CreateMenu() : CreatePopupMenu();
        int32_t lastGroup = 0;
        AddItems(top, top->MenuHandle, menuTemplate, 0, lastGroup);
    }
    if (!parent) return top;
    top->OwnerControl = parent;
    if (auto* first = static_cast<MenuObject*>(parent->MenuObject)) {
        MenuObject* last = first;
        while (last->NextMenu) last = last->NextMenu;
        last->NextMenu = top;
        return top;
    }
    if (!parent->IsForm) return top;
    if (parent->Handle) SetMenu(parent->Handle, top->MenuHandle);
    // Attaching a bar to an existing window shrinks its client area; the window is made
    // with the bar otherwise.
    if (parent->Menu && parent->Menu != top->MenuHandle) DestroyMenu(parent->Menu);
    parent->Menu = top->MenuHandle;
    parent->MenuObject = top;
    AttachHandler(parent, MenuCommandHandler);
    return top;
}

void SetMenuItemEvents(MenuObject* menu, int firstIndex, const std::vector<MenuEvent>& events) {
    for (size_t i = 0; i < events.size(); ++i) {
        MenuObject* item = MenuItem(menu, firstIndex + static_cast<int>(i));
        if (!item) return;
        item->OnMenuItem = events[i];
    }
}

void SetMenuRadioMark(MenuObject* item) {
    MenuObject* parent = item->ParentMenu;
    if (!parent || item->RadioGroup == 0) return;
    // The group is the unbroken run of neighbours sharing the item's group number.
    const auto& siblings = parent->SubItems;
    int first = PositionOf(item);
    int last = first;
    const int own = first;
    while (first > 0 && siblings[first - 1]->RadioGroup == item->RadioGroup) --first;
    while (last + 1 < static_cast<int>(siblings.size()) &&
           siblings[last + 1]->RadioGroup == item->RadioGroup) {
        ++last;
    }
    CheckMenuRadioItem(parent->MenuHandle, first, last, own, MF_BYPOSITION);
}

bool IsMenuItemChecked(const MenuObject* item) {
    if (!item->ParentMenu) return false;
    const UINT state = GetMenuState(item->ParentMenu->MenuHandle, PositionOf(item), MF_BYPOSITION);
    return state != 0xFFFFFFFF && (state & MF_CHECKED);
}

void SetMenuItemEnabled(MenuObject* item, bool on) {
    if (!item || !item->ParentMenu) return;
    EnableMenuItem(item->ParentMenu->MenuHandle, PositionOf(item),
                   MF_BYPOSITION | (on ? MF_ENABLED : MF_GRAYED));
}

MenuObject* MenuItem(MenuObject* menu, int number) {
    if (!menu || number < 0) return nullptr;
    if (static_cast<uint32_t>(number) >= FirstMenuId) {
        return ItemById(menu, static_cast<uint32_t>(number));
    }
    return ItemByNumber(menu, number);
}
