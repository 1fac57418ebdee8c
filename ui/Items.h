// The item lists of list boxes and combo boxes, the current index and the check state.
#pragma once
#include <string>

#include "ui/Control.h"

// The new item's index; the first item of a list becomes its current one.
int AddItem(Control* ctl, const std::string& text);
std::string GetItem(Control* ctl, int index);
// Replaces item index (on an empty list successive calls with 0, 1, 2 ... fill it in order).
void SetItem(Control* ctl, int index, const std::string& text);
// Empties the list (other kinds: the text).
void ClearItems(Control* ctl);
int ItemCount(Control* ctl);
int GetCurIndex(Control* ctl);
// For the tab control this switches the page exactly as a click on the tab does.
void SetCurIndex(Control* ctl, int index);
bool IsChecked(Control* ctl);
