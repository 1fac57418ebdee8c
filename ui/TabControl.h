// The tab control and its pages: one page per caption, exactly one page visible.
#pragma once
#include <string>
#include <vector>

#include "ui/Kinds.h"

Control* CreateTabControl(Control* parent, const std::vector<std::string>& captions);
// The page of tab index, or null when there is no such tab.
Control* TabPage(Control* tab, int index);
