// Font handles that can be read on any platform: the face named in a LOGFONTA may not exist
// as the raster face it was chosen for, so the handle is judged by what it really gives.
#pragma once
#include <windows.h>

// The platform's small dialog font: the cell height it gives and the LOGFONT height that
// asks for it.
struct DialogFontSize {
    LONG cellHeight;
    LONG logHeight;
};
DialogFontSize SmallDialogFontSize();

// CreateFontIndirectA, then raised to the small dialog size when the text would be smaller,
// and with the ANSI or default character set resolved to Cyrillic when the face gave another,
// so CP1251 text shows as Cyrillic. Null when no font can be made.
HFONT CreateReadableFont(const LOGFONTA& wanted);
