// Fonts: made, copied, compared, and their handles shared and handed to the windows using them.
#include "ui/Font.h"

#include <algorithm>
#include <cstring>

#include "ui/ReadableFont.h"

namespace {
int liveFontHandles = 0;

void DeleteFontHandle(HFONT handle) {
    if (!handle) return;
    DeleteObject(handle);
    --liveFontHandles;
}

// The control's side of a font change: it takes the font's colour and, with a window, the
// font's current handle.
void ApplyToControl(Control* ctl, GdiTool* font) {
    ctl->TextColor = font->ToolColor;
    if (!ctl->Handle) return;
    SendMessageA(ctl->Handle, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle(font)), TRUE);
    InvalidateRect(ctl->Handle, nullptr, TRUE);
}

GdiTool* MakeFont(Control* owner) {
    GdiTool* font = NewObject<GdiTool>();
    font->Owner = owner;
    if (owner) {
        font->ToolColor = owner->TextColor;
        font->OnToolChange = MakeEvent<&ApplyToControl>(owner);
    }
    return font;
}

// A copy of source for owner, sharing source's handle while the two stay equal.
GdiTool* CopyFont(GdiTool* source, Control* owner) {
    GdiTool* font = MakeFont(owner);
    font->ToolColor = source->ToolColor;
    font->LogFont = source->LogFont;
    font->ParentTool = source;
    source->Copies.push_back(font);
    return font;
}

bool SameSettings(const GdiTool* a, const GdiTool* b) {
    return a->ToolColor == b->ToolColor &&
           std::memcmp(&a->LogFont, &b->LogFont, sizeof a->LogFont) == 0;
}

// Gives every window that uses this tool's handle (its own and those of copies that borrow
// it) the handle it should use now.
void NotifyUsers(GdiTool* font) {
    font->OnToolChange(font);
    // A copy that may change the user list while it is told works on a snapshot.
    const std::vector<GdiTool*> copies = font->Copies;
    for (GdiTool* copy : copies) {
        if (!copy->ToolHandle) NotifyUsers(copy);
    }
}

// The change protocol: the old handle goes only after every user has its replacement.
template <class Change> void ChangeFont(GdiTool* font, Change change) {
    HFONT old = font->ToolHandle;
    font->ToolHandle = nullptr;
    change(*font);
    NotifyUsers(font);
    DeleteFontHandle(old);
}

uint8_t CurrentStyleSet(const LOGFONTA& lf) {
    uint8_t set = 0;
    if (lf.lfWeight >= FW_BOLD) set |= FontBold;
    if (lf.lfItalic) set |= FontItalic;
    if (lf.lfUnderline) set |= FontUnderline;
    if (lf.lfStrikeOut) set |= FontStrikeOut;
    return set;
}

} // namespace

void InheritParentFont(Control* ctl) {
    if (ctl->Parent && ctl->Parent->Font && !ctl->Font) {
        ctl->Font = CopyFont(static_cast<GdiTool*>(ctl->Parent->Font), ctl);
    }
}

void GdiTool::Init() {
    LogFont.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(LogFont.lfFaceName, "MS Sans Serif");
}

void GdiTool::Destroy() {
    // Copies that outlive this tool make handles of their own before this one is deleted.
    std::vector<GdiTool*> copies;
    copies.swap(Copies);
    for (GdiTool* copy : copies) copy->ParentTool = nullptr;
    for (GdiTool* copy : copies) {
        if (!copy->ToolHandle) NotifyUsers(copy);
    }
    if (ParentTool) {
        auto& siblings = ParentTool->Copies;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
        ParentTool = nullptr;
    }
    if (ToolHandle) {
        // A window that outlives its font falls back to the system font rather than keep a
        // deleted handle.
        if (Owner && Owner->Handle && IsWindow(Owner->Handle)) {
            SendMessageA(Owner->Handle, WM_SETFONT, 0, FALSE);
        }
        DeleteFontHandle(ToolHandle);
        ToolHandle = nullptr;
    }
    BaseObject::Destroy();
}

GdiTool* Font(Control* ctl) {
    if (!ctl->Font) {
        if (ctl->Parent && ctl->Parent->Font) {
            ctl->Font = CopyFont(static_cast<GdiTool*>(ctl->Parent->Font), ctl);
        } else {
            ctl->Font = MakeFont(ctl);
        }
    }
    return static_cast<GdiTool*>(ctl->Font);
}

HFONT FontHandle(GdiTool* font) {
    if (font->ToolHandle) return font->ToolHandle;
    if (font->ParentTool && SameSettings(font, font->ParentTool)) {
        // Borrowed, never stored: only the parent's tool deletes it.
        return FontHandle(font->ParentTool);
    }
    font->ToolRGB = ColorToRGB(font->ToolColor);
    font->ToolHandle = CreateReadableFont(font->LogFont);
    if (font->ToolHandle) ++liveFontHandles;
    return font->ToolHandle;
}

int LiveFontHandles() { return liveFontHandles; }

void SetFontHeight(GdiTool* font, int32_t height) {
    if (font->LogFont.lfHeight == height) return;
    ChangeFont(font, [height](GdiTool& f) { f.LogFont.lfHeight = height; });
}

void SetFontColor(GdiTool* font, int32_t color) {
    if (font->ToolColor != color) {
        ChangeFont(font, [color](GdiTool& f) { f.ToolColor = color; });
    }
    font->ToolRGB = ColorToRGB(color);
}

void SetFontCharset(GdiTool* font, uint8_t charset) {
    if (font->LogFont.lfCharSet == charset) return;
    ChangeFont(font, [charset](GdiTool& f) { f.LogFont.lfCharSet = charset; });
}

void SetFontName(GdiTool* font, const std::string& name) {
    constexpr size_t kept = LF_FACESIZE - 1;
    const std::string wanted = name.substr(0, std::min(kept, std::strlen(name.c_str())));
    const std::string current(font->LogFont.lfFaceName,
                              strnlen(font->LogFont.lfFaceName, LF_FACESIZE));
    if (wanted == current) return;
    ChangeFont(font, [&wanted](GdiTool& f) {
        std::memset(f.LogFont.lfFaceName, 0, LF_FACESIZE);
        std::memcpy(f.LogFont.lfFaceName, wanted.data(), wanted.size());
    });
}

void SetFontStyle(GdiTool* font, uint8_t styleSet) {
    const uint8_t set = styleSet & (FontBold | FontItalic | FontUnderline | FontStrikeOut);
    if (CurrentStyleSet(font->LogFont) == set) return;
    ChangeFont(font, [set](GdiTool& f) {
        LOGFONTA& lf = f.LogFont;
        if (set & FontBold) {
            if (lf.lfWeight < FW_BOLD) lf.lfWeight = FW_BOLD;
        } else if (lf.lfWeight >= FW_BOLD) {
            lf.lfWeight = 0;
        }
        lf.lfItalic = (set & FontItalic) ? 1 : 0;
        lf.lfUnderline = (set & FontUnderline) ? 1 : 0;
        lf.lfStrikeOut = (set & FontStrikeOut) ? 1 : 0;
    });
}
