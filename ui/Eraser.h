// The background eraser of forms and group boxes: children's windows are made, then the
// client area is filled with the control's brush.
#pragma once
#include "ui/Control.h"

void AttachBackgroundEraser(Control* ctl);
