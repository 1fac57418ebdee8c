// A label that paints its own text with a shadow.
#pragma once
#include <cstdint>
#include <string>

#include "ui/Control.h"

// No shadow colour of its own: the shadow is halfway between the text colour and white.
constexpr int32_t NoShadowColor = 0x1FFFFFFF;

struct EffectLabel : Control {
    int32_t ShadowDepth = 0;
    int32_t ShadowColor = NoShadowColor;
};

Control* CreateEffectLabel(Control* parent, const std::string& caption, int32_t shadowDepth);
// Ignored for controls that are not effect labels.
void SetShadowColor(Control* ctl, int32_t color);
