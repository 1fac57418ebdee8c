// Menus built from a text template: "(" opens the submenu of the item before it, ")" closes
// it, "-" is a separator, a leading "+" or "-" makes a check item (checked with "+"), and a
// "!" after the sign makes it a radio item.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "ui/Object.h"

struct Control;
struct MenuObject;

// (data, top menu, item number)
using MenuEvent = Event<void(MenuObject* menu, int item)>;

struct MenuObject : BaseObject {
    HMENU MenuHandle = nullptr; // the menu, or the item's submenu
    uint32_t CommandId = 0;
    MenuObject* ParentMenu = nullptr;
    Control* OwnerControl = nullptr;
    MenuObject* NextMenu = nullptr;
    int32_t RadioGroup = 0;
    bool IsCheckItem = false;
    bool IsSeparator = false;
    std::vector<MenuObject*> SubItems;
    MenuEvent OnMenuItem;
    bool ByAccelerator = false;
    std::string ItemCaption;

    // The top menu destroys its menu handle (after its window let go of it) and the further
    // menus of its form; items free their own items.
    void Destroy() override;
};

// Command ids come from the layer's counter, from 4096 on.
MenuObject* CreateMenuFromTemplate(Control* parent, const std::vector<std::string>& menuTemplate,
                                   MenuEvent onItem);
// Items firstIndex, firstIndex + 1, ... (all levels in template order) get these events.
void SetMenuItemEvents(MenuObject* menu, int firstIndex, const std::vector<MenuEvent>& events);
// Marks a radio item and clears the other items of its group.
void SetMenuRadioMark(MenuObject* item);
bool IsMenuItemChecked(const MenuObject* item);
// Greys an item out (false) or gives it back; null is ignored.
void SetMenuItemEnabled(MenuObject* item, bool on);
// The item with this number (or command id, from 4096 on); null when there is none.
MenuObject* MenuItem(MenuObject* menu, int number);
