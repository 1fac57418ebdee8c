// Fonts: a control's font is a GdiTool holding a LOGFONTA and a colour; its handle is shared
// with the parent's font while the two are equal, and made on demand otherwise.
#pragma once
#include <cstdint>
#include <string>

#include "ui/Control.h"

struct GdiTool;

// The control's font, made on first use. A child starts with a copy of its parent's.
GdiTool* Font(Control* ctl);
void SetFontHeight(GdiTool* font, int32_t height);
void SetFontColor(GdiTool* font, int32_t color);
void SetFontCharset(GdiTool* font, uint8_t charset);
void SetFontName(GdiTool* font, const std::string& name);
// Bit 0 bold, bit 1 italic, bit 2 underline, bit 3 strike-out.
enum FontStyleBits : uint8_t { FontBold = 1, FontItalic = 2, FontUnderline = 4, FontStrikeOut = 8 };
void SetFontStyle(GdiTool* font, uint8_t styleSet);
