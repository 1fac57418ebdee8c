// Font handles judged by what they really give: the small dialog font's size measured once,
// and a font made again larger or Cyrillic where the one asked for is smaller or not.
#include "ui/ReadableFont.h"

namespace {
struct Metrics {
    LONG height = 0;
    int charset = DEFAULT_CHARSET;
};

Metrics Measure(HFONT font) {
    Metrics metrics;
    HDC dc = GetDC(nullptr);
    if (!dc) return metrics;
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA tm{};
    if (GetTextMetricsA(dc, &tm)) metrics.height = tm.tmHeight;
    metrics.charset = GetTextCharset(dc);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return metrics;
}
} // namespace

DialogFontSize SmallDialogFontSize() {
    // Measured once: the stock GUI font is the platform's small dialog font.
    static const DialogFontSize size = [] {
        auto font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        LOGFONTA lf{};
        GetObjectA(font, sizeof lf, &lf);
        DialogFontSize s{Measure(font).height, lf.lfHeight};
        // A platform that answers nothing useful still gets 8 points at 96 dpi.
        if (s.cellHeight <= 0 || s.logHeight == 0) s = {13, -11};
        return s;
    }();
    return size;
}

HFONT CreateReadableFont(const LOGFONTA& wanted) {
    LOGFONTA lf = wanted;
    HFONT font = CreateFontIndirectA(&lf);
    if (!font) return nullptr;
    const Metrics got = Measure(font);
    bool remake = false;
    const DialogFontSize small = SmallDialogFontSize();
    if (got.height < small.cellHeight) {
        lf.lfHeight = small.logHeight;
        remake = true;
    }
    const bool anyText = lf.lfCharSet == ANSI_CHARSET || lf.lfCharSet == DEFAULT_CHARSET;
    if (anyText && got.charset != RUSSIAN_CHARSET) {
        // The program's texts are CP1251 bytes: only a Cyrillic font reads them right.
        lf.lfCharSet = RUSSIAN_CHARSET;
        remake = true;
    }
    if (!remake) return font;
    HFONT better = CreateFontIndirectA(&lf);
    if (!better) return font;
    DeleteObject(font);
    return better;
}
