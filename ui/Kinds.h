// The simple control kinds: labels, edit boxes, buttons, group boxes, radio boxes, combo
// boxes and list boxes, each with its system class, style, action table and default size.
#pragma once
#include <cstdint>
#include <string>

#include "ui/Control.h"

// A set of options, bit i = option i, mapped to style bits by the kind's table.
using OptionSet = uint16_t;
constexpr OptionSet Option(int bit) { return static_cast<OptionSet>(1u << bit); }

// Edit box options.
constexpr OptionSet EditMultiline = Option(3);
constexpr OptionSet EditDigitsOnly = Option(11);
// Combo box options.
constexpr OptionSet ComboDropDownList = Option(0);
constexpr OptionSet ComboNoIntegralHeight = Option(4);
// List box options.
constexpr OptionSet ListSingleSelection = Option(1);
constexpr OptionSet ListNoIntegralHeight = Option(4);

// One option of a kind's option set: the style bits added when the option is present and
// those added when it is absent.
struct OptionStyle {
    uint32_t present = 0;
    uint32_t absent = 0;
};
// The style bits of an option set through a kind's table of count options.
uint32_t MapOptions(const OptionStyle* table, int count, OptionSet options);
// Gives a control made but not yet shown its kind's size at its current top-left corner.
void SetDefaultSize(Control* ctl, int32_t width, int32_t height);

Control* CreateLabel(Control* parent, const std::string& caption);
Control* CreateEditBox(Control* parent, OptionSet options);
Control* CreateButton(Control* parent, const std::string& caption);
// Not a tab stop; children are placed inside its frame (top margin 22).
Control* CreateGroupBox(Control* parent, const std::string& caption);
// All radio boxes of one parent form one group; the first one made starts checked.
Control* CreateRadioBox(Control* parent, const std::string& caption);
Control* CreateComboBox(Control* parent, OptionSet options);
Control* CreateListBox(Control* parent, OptionSet options);
