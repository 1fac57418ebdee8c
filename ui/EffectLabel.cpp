// The effect label's painter: the caption is kept by the object and drawn with a shadow.
#include "ui/EffectLabel.h"

#include <cstdlib>

#include "ui/Eraser.h"
#include "ui/Font.h"
#include "ui/Geometry.h"
#include "ui/Kinds.h"

namespace {
constexpr int32_t ExtraHeight = 18; // above a plain label's 22

COLORREF ShadowRGB(const EffectLabel* label) {
    if (label->ShadowColor != NoShadowColor) return ColorToRGB(label->ShadowColor);
    // Halfway to white, channel by channel.
    const COLORREF text = ColorToRGB(label->TextColor);
    return ((text & 0xFEFEFE) >> 1) + (0xFEFEFEu >> 1);
}

HFONT LabelFont(EffectLabel* label) {
    if (label->Font) return FontHandle(static_cast<GdiTool*>(label->Font));
    if (label->Handle) {
        if (auto font = reinterpret_cast<HFONT>(SendMessageA(label->Handle, WM_GETFONT, 0, 0))) {
            return font;
        }
    }
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void PaintLabel(EffectLabel* label, HDC dc) {
    SelectObject(dc, LabelFont(label));
    const std::string& caption = label->Caption;
    const int length = static_cast<int>(caption.size());
    SIZE extent{};
    GetTextExtentPoint32A(dc, caption.c_str(), length, &extent);
    const int depth = label->ShadowDepth;
    if (depth != 0) {
        const int grow = std::abs(depth) * (label->Ctl3D ? 2 : 1);
        extent.cx += grow;
        extent.cy += grow;
    }

    RECT rect{};
    GetClientRect(label->Handle, &rect);
    rect.top += label->ClientMargins.top;
    rect.bottom -= label->ClientMargins.bottom;
    rect.left += label->ClientMargins.left;
    rect.right -= label->ClientMargins.right;
    const auto align = static_cast<TextAlignment>(label->TextAlign);
    const auto verticalAlign = static_cast<VerticalAlignment>(label->VerticalAlign);
    int x = 0;
    if (align == TextAlignment::Right) x = rect.right - extent.cx;
    if (align == TextAlignment::Centre) x = (rect.right - extent.cx) / 2;
    int y = (rect.bottom - extent.cy) / 2;
    if (verticalAlign == VerticalAlignment::Top) y = 0;
    if (verticalAlign == VerticalAlignment::Bottom) y = rect.bottom - extent.cy;

    if (!label->Transparent) FillRect(dc, &rect, ControlBrush(label));
    SetBkMode(dc, TRANSPARENT);
    auto draw = [&](int dx, int dy) {
        ExtTextOutA(dc, x + dx, y + dy, ETO_CLIPPED, &rect, caption.c_str(),
                    static_cast<UINT>(length), nullptr);
    };
    if (depth != 0) {
        SetTextColor(dc, ShadowRGB(label));
        if (label->Ctl3D) {
            // A solid block of shadow under the text.
            for (int dy = 1; dy <= depth; ++dy) {
                for (int dx = 1; dx <= depth; ++dx) draw(dx, dy);
            }
        } else {
            draw(depth, depth);
        }
    }
    SetTextColor(dc, ColorToRGB(label->TextColor));
    draw(0, 0);
}

bool EffectPainter(Control* ctl, Message& m, LRESULT& result) {
    auto* label = static_cast<EffectLabel*>(ctl);
    switch (m.msg) {
    case WM_SETTEXT: {
        // The object keeps the text; the system window never gets it.
        const char* text = reinterpret_cast<const char*>(m.lParam);
        const std::string caption = text ? text : "";
        if (caption != label->Caption) {
            label->Caption = caption;
            InvalidateRect(m.window, nullptr, TRUE);
        }
        result = 1;
        return true;
    }
    case WM_PAINT:
    case WM_PRINTCLIENT: {
        PAINTSTRUCT paint{};
        HDC dc = reinterpret_cast<HDC>(m.wParam);
        if (!dc) dc = BeginPaint(m.window, &paint);
        // The device context may be the caller's: it is left as it came.
        const int saved = SaveDC(dc);
        PaintLabel(label, dc);
        RestoreDC(dc, saved);
        if (!m.wParam) EndPaint(m.window, &paint);
        result = 0;
        return true;
    }
    default:
        return false;
    }
}
} // namespace

Control* CreateEffectLabel(Control* parent, const std::string& caption, int32_t shadowDepth) {
    auto* label = CreateControl<EffectLabel>(parent, "STATIC", LabelStyle, false, nullptr);
    SetDefaultSize(label, 64, 22 + ExtraHeight);
    AttachHandler(label, EffectPainter);
    WindowHandle(label);
    SetText(label, caption);
    AttachBackgroundEraser(label);
    label->TextAlign = static_cast<uint8_t>(TextAlignment::Centre);
    label->TextColor = ColorWindowText;
    label->ShadowDepth = shadowDepth;
    label->KeepCaption = true;
    label->ShadowColor = NoShadowColor;
    return label;
}

void SetShadowColor(Control* ctl, int32_t color) {
    auto* label = dynamic_cast<EffectLabel*>(ctl);
    if (!label) return;
    label->ShadowColor = color;
    if (label->Handle) InvalidateRect(label->Handle, nullptr, TRUE);
}
