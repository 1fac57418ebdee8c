// Font tools: handles shared with the parent's font while equal, changed without ever
// leaving a window with a deleted handle, and made readable whatever the face gives.
#include "UiTest.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ui/Font.h"
#include "ui/Kinds.h"
#include "ui/ReadableFont.h"

namespace {
HFONT WindowFont(Control* ctl) {
    return reinterpret_cast<HFONT>(SendMessageA(ctl->Handle, WM_GETFONT, 0, 0));
}

bool IsLiveFont(HFONT font) { return font && GetObjectType(font) == OBJ_FONT; }

struct FontMetrics {
    TEXTMETRICA tm{};
    int charset = -1;
};
FontMetrics MetricsOf(HFONT font) {
    FontMetrics m;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    GetTextMetricsA(dc, &m.tm);
    m.charset = GetTextCharset(dc);
    SelectObject(dc, old);
    DeleteDC(dc);
    return m;
}

class FontTest : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        handlesBefore_ = LiveFontHandles();
    }
    void TearDown() override {
        UiTest::TearDown();
        EXPECT_EQ(LiveFontHandles(), handlesBefore_) << "font handles left undeleted";
    }
    // A form with the main window's font and a page that switches to the default set.
    Control* MakePage() {
        Control* form = MakeForm();
        SetFontHeight(Font(form), -8);
        SetFontCharset(Font(form), ANSI_CHARSET);
        Control* page = CreateControl(form, "STATIC", 0x5000018C, false, nullptr);
        SetFontCharset(Font(page), DEFAULT_CHARSET);
        return page;
    }
    int handlesBefore_ = 0;
};

TEST_F(FontTest, ChildrenShareTheirParentsHandleUntilOneChanges) {
    Control* page = MakePage();
    Control* first = CreateLabel(page, "first");
    Control* second = CreateLabel(page, "second");
    ASSERT_NE(first->Font, nullptr) << "a child starts with a copy of its parent's font";
    EXPECT_EQ(Font(first)->ParentTool, Font(page));
    EXPECT_EQ(Font(first)->LogFont.lfHeight, -8);
    ShowForm();

    HFONT pageFont = WindowFont(page);
    ASSERT_TRUE(IsLiveFont(pageFont));
    EXPECT_EQ(WindowFont(first), pageFont);
    EXPECT_EQ(WindowFont(second), pageFont);
    EXPECT_EQ(Font(first)->ToolHandle, nullptr) << "a borrowed handle is not the copy's own";
    const int handles = LiveFontHandles();

    SetFontHeight(Font(first), -1);
    EXPECT_NE(WindowFont(first), pageFont);
    EXPECT_TRUE(IsLiveFont(WindowFont(first)));
    EXPECT_EQ(WindowFont(second), pageFont) << "the other label is left unchanged";
    EXPECT_TRUE(IsLiveFont(pageFont)) << "the parent's handle survives a child's change";
    EXPECT_EQ(LiveFontHandles(), handles + 1);

    // Back to the parent's settings: the own handle goes and the parent's is shared again.
    HFONT own = WindowFont(first);
    SetFontHeight(Font(first), -8);
    EXPECT_EQ(WindowFont(first), pageFont);
    EXPECT_FALSE(IsLiveFont(own));
    EXPECT_EQ(LiveFontHandles(), handles);
}

TEST_F(FontTest, AParentsChangeGivesItsBorrowersTheirOwnHandleBeforeTheOldOneGoes) {
    Control* page = MakePage();
    Control* label = CreateLabel(page, "label");
    Control* nested = CreateGroupBox(page, "group");
    Control* inner = CreateLabel(nested, "inner");
    ShowForm();
    // A form's window keeps no font of its own to answer WM_GETFONT: its tool holds it.
    HFONT formFont = FontHandle(Font(form_));
    ASSERT_TRUE(IsLiveFont(formFont));
    HFONT oldPageFont = WindowFont(page);
    ASSERT_TRUE(IsLiveFont(oldPageFont));
    ASSERT_NE(oldPageFont, formFont) << "the page's settings differ from the form's";
    ASSERT_EQ(WindowFont(inner), oldPageFont) << "shared two levels down";

    SetFontCharset(Font(page), RUSSIAN_CHARSET);
    EXPECT_FALSE(IsLiveFont(oldPageFont)) << "the replaced handle is deleted";
    EXPECT_TRUE(IsLiveFont(formFont)) << "the form's handle survives the page's change";
    for (Control* user : {page, label, nested, inner}) {
        EXPECT_TRUE(IsLiveFont(WindowFont(user))) << GetText(user) << " kept a deleted handle";
    }
    EXPECT_NE(WindowFont(label), WindowFont(page));
    EXPECT_EQ(WindowFont(inner), WindowFont(nested)) << "the group box's copy is shared on";
    EXPECT_EQ(Font(label)->LogFont.lfCharSet, DEFAULT_CHARSET) << "a copy keeps its settings";
}

TEST_F(FontTest, AChildOutlivingItsParentsFontGetsAHandleOfItsOwn) {
    Control* page = MakePage();
    Control* label = CreateLabel(page, "label");
    ShowForm();
    GdiTool* labelFont = Font(label);
    ASSERT_EQ(labelFont->ParentTool, Font(page));

    // As when a handler of the label frees the whole form while it runs.
    RefInc(label);
    FreeObject(form_);
    form_ = nullptr;
    EXPECT_EQ(labelFont->ParentTool, nullptr);
    EXPECT_NE(labelFont->ToolHandle, nullptr);
    RefDec(label);
}

TEST_F(FontTest, SettersChangeOnlyWhatDiffers) {
    Control* form = MakeForm();
    GdiTool* font = Font(form);
    EXPECT_EQ(std::string(font->LogFont.lfFaceName), "MS Sans Serif");
    EXPECT_EQ(font->LogFont.lfCharSet, DEFAULT_CHARSET);
    ShowForm();
    SetFontName(font, "Arial");
    HFONT arial = FontHandle(font);
    SetFontName(font, std::string("Arial\0junk", 10));
    EXPECT_EQ(FontHandle(font), arial) << "names are compared as text";

    const std::string longName(40, 'x');
    SetFontName(font, longName);
    EXPECT_EQ(std::string(font->LogFont.lfFaceName), longName.substr(0, 31));
    SetFontName(font, longName + "y");
    EXPECT_EQ(std::string(font->LogFont.lfFaceName), longName.substr(0, 31));

    SetFontStyle(font, FontBold | FontItalic);
    EXPECT_EQ(font->LogFont.lfWeight, FW_BOLD);
    EXPECT_EQ(font->LogFont.lfItalic, 1);
    HFONT bold = FontHandle(font);
    SetFontStyle(font, FontBold | FontItalic);
    EXPECT_EQ(FontHandle(font), bold);
    SetFontStyle(font, FontUnderline);
    EXPECT_EQ(font->LogFont.lfWeight, 0);
    EXPECT_EQ(font->LogFont.lfItalic, 0);
    EXPECT_EQ(font->LogFont.lfUnderline, 1);

    SetFontColor(font, 0x00FF0000);
    EXPECT_EQ(form->TextColor, 0x00FF0000) << "the control takes the font's colour";
    EXPECT_EQ(font->ToolRGB, 0x00FF0000u);
}

TEST_F(FontTest, SmallAndAnsiFontsAreReadableCyrillic) {
    const DialogFontSize dialog = SmallDialogFontSize();
    std::printf("small dialog font: cell %ld, LOGFONT height %ld\n", dialog.cellHeight,
                dialog.logHeight);
    EXPECT_GE(dialog.cellHeight, 11);
    EXPECT_LE(dialog.cellHeight, 16);

    Control* form = MakeForm();
    GdiTool* font = Font(form);
    const std::string cyrillic = "Разделение файла";
    const std::wstring wide = L"Разделение файла";
    struct Case {
        const char* face;
        int32_t height;
        uint8_t charset;
    };
    for (const Case& c : {Case{"MS Sans Serif", -8, ANSI_CHARSET}, Case{"MS Sans Serif", -1, 0},
                          Case{"MS Sans Serif", -8, DEFAULT_CHARSET}, Case{"Arial", 28, 0},
                          Case{"Arial", 0, DEFAULT_CHARSET}}) {
        SetFontName(font, c.face);
        SetFontHeight(font, c.height);
        SetFontCharset(font, c.charset);
        HFONT handle = FontHandle(font);
        const FontMetrics m = MetricsOf(handle);
        std::printf("%s %d set %d: cell %ld, charset %d\n", c.face, c.height, c.charset,
                    m.tm.tmHeight, m.charset);
        EXPECT_GE(m.tm.tmHeight, dialog.cellHeight) << c.face << " " << c.height;
        if (c.height > dialog.cellHeight) {
            EXPECT_NEAR(m.tm.tmHeight, c.height, 3) << "a large font keeps its size";
        }
        EXPECT_EQ(m.charset, RUSSIAN_CHARSET) << c.face << " " << c.height;

        // The CP1251 bytes reach the same glyphs as the Cyrillic letters themselves.
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, handle);
        std::vector<WORD> narrow(cyrillic.size()), byWide(wide.size());
        GetGlyphIndicesA(dc, cyrillic.c_str(), static_cast<int>(cyrillic.size()), narrow.data(),
                         GGI_MARK_NONEXISTING_GLYPHS);
        GetGlyphIndicesW(dc, wide.c_str(), static_cast<int>(wide.size()), byWide.data(),
                         GGI_MARK_NONEXISTING_GLYPHS);
        SelectObject(dc, old);
        DeleteDC(dc);
        EXPECT_EQ(narrow, byWide) << c.face << " " << c.height;
        EXPECT_EQ(std::count(byWide.begin(), byWide.end(), 0xFFFF), 0) << "missing glyphs";
    }
}
} // namespace
