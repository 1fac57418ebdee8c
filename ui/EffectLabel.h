// A label that paints its own text with a shadow.
#pragma once
#include <cstdint>
#include <string>

#include "ui/Control.h"

Control* CreateEffectLabel(Control* parent, const std::string& caption, int32_t shadowDepth);
void SetShadowColor(Control* ctl, int32_t color);
