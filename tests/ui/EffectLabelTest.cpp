// The effect label painted for real into a memory device context: where the text and the
// shadow land, in which colours, and that the painter leaves the device context as it was.
#include "UiTest.h"

#include <algorithm>
#include <vector>

#include "ui/EffectLabel.h"
#include "ui/Font.h"

namespace {
constexpr COLORREF Background = RGB(255, 255, 255);
constexpr COLORREF Blue = RGB(0, 0, 255);

// The box around the pixels of exactly one colour; empty when there are none.
RECT BoxOf(HDC dc, int width, int height, COLORREF color) {
    RECT box{width, height, -1, -1};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (GetPixel(dc, x, y) != color) continue;
            box.left = std::min<LONG>(box.left, x);
            box.top = std::min<LONG>(box.top, y);
            box.right = std::max<LONG>(box.right, x);
            box.bottom = std::max<LONG>(box.bottom, y);
        }
    }
    return box;
}

// Whether the shadow is the text drawn at each of the offsets: every text pixel moved by
// every offset lands on text or shadow, and every shadow pixel moved back by one of them
// lands on text (the text is drawn last, over its shadow).
bool ShadowIsTextMovedBy(HDC dc, int width, int height, COLORREF text, COLORREF shadow,
                         const std::vector<POINT>& offsets) {
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF here = GetPixel(dc, x, y);
            if (here == text) {
                for (POINT d : offsets) {
                    const COLORREF there = GetPixel(dc, x + d.x, y + d.y);
                    if (there != text && there != shadow) return false;
                }
            } else if (here == shadow) {
                bool cast = false;
                for (POINT d : offsets) cast = cast || GetPixel(dc, x - d.x, y - d.y) == text;
                if (!cast) return false;
            }
        }
    }
    return true;
}

class EffectLabelTest : public UiTest {
  protected:
    // Paints the label through WM_PRINTCLIENT into a fresh bitmap, as a parent would print it.
    void Print(Control* label) {
        RECT client{};
        GetClientRect(label->Handle, &client);
        width_ = client.right;
        height_ = client.bottom;
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, width_, height_);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
        SetTextColor(dc_, RGB(1, 2, 3));
        fontBefore_ = GetCurrentObject(dc_, OBJ_FONT);
        SendMessageA(label->Handle, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_),
                     PRF_CLIENT | PRF_ERASEBKGND);
    }
    void TearDown() override {
        if (dc_) {
            SelectObject(dc_, old_);
            DeleteObject(bitmap_);
            DeleteDC(dc_);
        }
        UiTest::TearDown();
    }
    Control* MakeLabel(int32_t depth) {
        Control* form = MakeForm();
        Control* label = CreateEffectLabel(form, "Varnok", depth);
        label->Color = static_cast<int32_t>(Background);
        label->Bounds = {10, 10, 210, 50};
        MoveWindow(label->Handle, 10, 10, 200, 40, FALSE);
        GdiTool* font = Font(label);
        // Glyphs without smoothed edges: every pixel of the text and of its shadow is of
        // exactly one of the two colours, so the shadow can be matched pixel by pixel.
        font->LogFont.lfQuality = NONANTIALIASED_QUALITY;
        SetFontName(font, "Arial");
        SetFontHeight(font, 28);
        SetFontStyle(font, FontBold);
        SetFontColor(font, Blue);
        ShowForm();
        EXPECT_TRUE(form->CreateWindow()) << "the run loop shows the windows made early";
        return label;
    }
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    HGDIOBJ fontBefore_ = nullptr;
    int width_ = 0, height_ = 0;
};

TEST_F(EffectLabelTest, AFlatShadowIsTheTextOnceMovedByTheDepth) {
    Control* label = MakeLabel(1);
    label->Ctl3D = false;
    SetShadowColor(label, ColorBtnShadow);
    Print(label);

    const RECT text = BoxOf(dc_, width_, height_, Blue);
    const RECT shadow = BoxOf(dc_, width_, height_, GetSysColor(COLOR_BTNSHADOW));
    ASSERT_GE(text.right, text.left) << "no pixel in the text colour";
    ASSERT_GE(shadow.right, shadow.left) << "no pixel in the shadow colour";
    // The text hides most of its shadow: the left and top of what stays visible depend on
    // the glyphs, the right and bottom edges do not.
    EXPECT_TRUE(
        ShadowIsTextMovedBy(dc_, width_, height_, Blue, GetSysColor(COLOR_BTNSHADOW), {{1, 1}}));
    EXPECT_EQ(shadow.right, text.right + 1);
    EXPECT_EQ(shadow.bottom, text.bottom + 1);
    EXPECT_NEAR((text.left + text.right) / 2, width_ / 2, 3) << "centred";
    EXPECT_EQ(GetPixel(dc_, 0, 0), Background);
    EXPECT_EQ(GetPixel(dc_, width_ - 1, height_ - 1), Background);

    EXPECT_EQ(GetTextColor(dc_), RGB(1, 2, 3)) << "the painter restores the device context";
    EXPECT_EQ(GetCurrentObject(dc_, OBJ_FONT), fontBefore_);
    EXPECT_EQ(GetBkMode(dc_), OPAQUE);
}

TEST_F(EffectLabelTest, A3DShadowIsASolidBlockAndHalfwayToWhiteByDefault) {
    Control* label = MakeLabel(2);
    label->Ctl3D = true; // a label is made flat
    Print(label);
    const RECT text = BoxOf(dc_, width_, height_, Blue);
    const RECT shadow = BoxOf(dc_, width_, height_, RGB(0x7F, 0x7F, 0xFE));
    ASSERT_GE(shadow.right, shadow.left) << "no pixel in the default shadow colour";
    EXPECT_EQ(shadow.right, text.right + 2);
    EXPECT_EQ(shadow.bottom, text.bottom + 2);
    EXPECT_TRUE(ShadowIsTextMovedBy(dc_, width_, height_, Blue, RGB(0x7F, 0x7F, 0xFE),
                                    {{1, 1}, {2, 1}, {1, 2}, {2, 2}}))
        << "the text at every offset from (1, 1) to (2, 2)";
}

TEST_F(EffectLabelTest, TheCaptionStaysWithTheObject) {
    Control* label = MakeLabel(1);
    SetText(label, "v 0.97");
    EXPECT_EQ(GetText(label), "v 0.97");
    SetWindowTextA(label->Handle, "2003");
    EXPECT_EQ(GetText(label), "2003");
    char inWindow[16] = "x";
    DefWindowProcA(label->Handle, WM_GETTEXT, sizeof inWindow, reinterpret_cast<LPARAM>(inWindow));
    EXPECT_STREQ(inWindow, "") << "the system window never gets the text";
}
} // namespace
