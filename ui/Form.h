// The form (a top-level window of the applet), its status bar and its size lock.
#pragma once
#include <string>

#include "ui/Control.h"

// The main window kind; its parent is the applet.
Control* CreateForm(Control* parent, const std::string& caption);
// Locks the current outer size (false): the frame stays but does not resize.
void SetCanResize(Control* ctl, bool on);
// Writes the text into section index of the form's status bar, made on first use; the form
// grows by the bar's height unless its size is locked. Index 255 shows one simple section.
void SetStatusText(Control* form, int index, const std::string& text);
// Moves the right edge of section index to x; an index outside the sections changes nothing.
void SetStatusSectionRight(Control* form, int index, int x);
