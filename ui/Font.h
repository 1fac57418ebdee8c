// Fonts: a control's font is a GdiTool holding a LOGFONTA and a colour; its handle is shared
// with the parent's font while the two are equal, and made on demand otherwise.
//
// Handle rules: a tool deletes only the handle it made itself (never one it borrowed from its
// parent's font), and only after every window that used it was given its replacement; a tool
// that goes away first hands its users (the copies made from it) handles of their own.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ui/Control.h"

struct GdiTool : BaseObject {
    uint8_t Kind = 1;              // 1 = font
    HFONT ToolHandle = nullptr;    // made by this tool and owned; never a borrowed handle
    GdiTool* ParentTool = nullptr; // the parent control's font this one was copied from
    Event<void(GdiTool* tool)> OnToolChange;
    COLORREF ToolRGB = 0; // RGB of ToolColor when the handle was made
    int32_t ToolColor = ColorWindowText;
    LOGFONTA LogFont{};
    std::vector<GdiTool*> Copies; // tools whose ParentTool is this one
    Control* Owner = nullptr;     // the control the tool belongs to, or null

    void Init() override;
    void Destroy() override;
};

// The control's font, made on first use. A child starts with a copy of its parent's.
GdiTool* Font(Control* ctl);
// Gives a control just made in a parent with a font a copy of that font.
void InheritParentFont(Control* ctl);
void SetFontHeight(GdiTool* font, int32_t height);
void SetFontColor(GdiTool* font, int32_t color);
void SetFontCharset(GdiTool* font, uint8_t charset);
// At most 31 bytes of the name are kept; the rest of the face name is zero.
void SetFontName(GdiTool* font, const std::string& name);
// Bit 0 bold, bit 1 italic, bit 2 underline, bit 3 strike-out.
enum FontStyleBits : uint8_t { FontBold = 1, FontItalic = 2, FontUnderline = 4, FontStrikeOut = 8 };
void SetFontStyle(GdiTool* font, uint8_t styleSet);

// The handle the font's windows use: its own, or its parent's while the two are equal.
HFONT FontHandle(GdiTool* font);
// The number of font handles the tools made and have not deleted yet; for leak checks.
int LiveFontHandles();
