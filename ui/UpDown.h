// An up-down control beside an edit box: its arrows (and the arrow keys in the box) step the
// box's number within a range.
#pragma once
#include "ui/Control.h"

// Arrows for buddy, whose text they set; the range 1 .. 1 until set.
Control* CreateUpDown(Control* parent, Control* buddy);
// The numbers the arrows step through; kept for a window made later.
void SetUpDownRange(Control* upDown, int low, int high);
