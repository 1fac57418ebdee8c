// The simple control kinds: labels, edit boxes, buttons, group boxes, radio boxes, combo
// boxes and list boxes, each with its system class, style, action table and default size.
#pragma once
#include <cstdint>
#include <string>

#include "ui/Control.h"

// A set of a kind's options; without any, a box is a single-line edit box, an editable
// drop-down combo box, or a list box with extended selection.
using OptionSet = uint16_t;
constexpr OptionSet Option(int bit) { return static_cast<OptionSet>(1u << bit); }

// Edit box options.
constexpr OptionSet EditDigitsOnly = Option(11);
// Combo box options.
constexpr OptionSet ComboDropDownList = Option(0);
constexpr OptionSet ComboNoIntegralHeight = Option(4);
// List box options.
constexpr OptionSet ListSingleSelection = Option(1);
constexpr OptionSet ListNoIntegralHeight = Option(4);

// Labels, and the panels made of the same class (tab pages): a static text without word wrap,
// "&" shown as it is, telling its clicks.
constexpr uint32_t LabelStyle = VisibleChild | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY;
static_assert(LabelStyle == 0x5000018C);
// Gives a control made but not yet shown its kind's size at its current top-left corner.
void SetDefaultSize(Control* ctl, int32_t width, int32_t height);

Control* CreateLabel(Control* parent, const std::string& caption);
Control* CreateEditBox(Control* parent, OptionSet options);
Control* CreateButton(Control* parent, const std::string& caption);
// Not a tab stop; children are placed inside its frame (top margin 22).
Control* CreateGroupBox(Control* parent, const std::string& caption);
// All radio boxes of one parent form one group; the first one made starts checked.
Control* CreateRadioBox(Control* parent, const std::string& caption);
// Starts clear; a click turns its mark over (IsChecked tells it).
Control* CreateCheckBox(Control* parent, const std::string& caption);
Control* CreateComboBox(Control* parent, OptionSet options);
Control* CreateListBox(Control* parent, OptionSet options);
