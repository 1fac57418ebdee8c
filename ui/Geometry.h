// Position, size, alignment, styles, colours and state of a control. The setters store
// the values and apply them to the window when it exists.
#pragma once
#include <cstdint>

#include "ui/Control.h"

enum class Alignment : uint8_t { None = 0, Left = 1, Top = 2, Right = 3, Bottom = 4, Client = 5 };
enum class VerticalAlignment : uint8_t { Centre = 0, Top = 1, Bottom = 2 };
// The values of a control's TextAlign.
enum class TextAlignment : uint8_t { Left = 0, Right = 1, Centre = 2 };

// Keeps width and height.
Control* SetPosition(Control* ctl, int left, int top);
// A value <= 0 leaves that dimension unchanged.
Control* SetSize(Control* ctl, int width, int height);
// Sets the outer size so that the client area (less its margins) has this size; makes the
// window; a value <= 0 leaves that dimension unchanged.
Control* SetClientSize(Control* ctl, int width, int height);
Control* SetAlign(Control* ctl, Alignment alignment);
void SetStyle(Control* ctl, uint32_t style);
void SetExStyle(Control* ctl, uint32_t exStyle);
void SetCtl3D(Control* ctl, bool on);
void SetColor(Control* ctl, int32_t color);
void SetEnabled(Control* ctl, bool on);
void SetVerticalAlign(Control* ctl, VerticalAlignment align);
// The big icon from a resource of module; the object never destroys it.
void LoadWindowIcon(Control* ctl, HINSTANCE module, const char* name);
// Gives the control the keyboard focus and makes it its form's current control.
void SetFocusTo(Control* ctl);
// Stores the bounds (parent client coordinates) and moves the window when it exists.
void SetBounds(Control* ctl, const RECT& bounds);
