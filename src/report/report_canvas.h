#pragma once

#include <string_view>

// Where the setup report is drawn: a printer page, a PDF page, plain text or
// a test's recorder. The layout asks it for the page size and the text
// metrics and hands it text and lines in device units; (0, 0) is the top left
// corner of the printable page, y grows downwards, and a text's y is the top
// of its character cell.
//
// Text is the project's own bytes (UTF-8 where the desktop program typed
// it; a byte that is not part of valid UTF-8 counts as Windows-1252).
class CReportCanvas {
public:
    // The three faces of the report: normal (9 pt) for values, labels,
    // header, footer and comment; bold (9 pt) for section titles; title
    // (14 pt bold) for the setup title.
    enum class EFont { Normal, Bold, Title };

    virtual ~CReportCanvas() = default;

    // The printable page in device units.
    virtual int PageWidth() const = 0;
    virtual int PageHeight() const = 0;
    // A font's character height: its point size x vertical units per inch / 72.
    virtual int FontHeight(EFont font) const = 0;
    // The normal font's average character width (the weighted average of the
    // lower-case letters and the space, see CBaseFontWidths::AverageWidth).
    virtual int AverageCharWidth() const = 0;
    // The width of `text` drawn in `font`.
    virtual int TextWidth(EFont font, std::string_view text) const = 0;

    // A new page begins (1, 2, ...) / the page is complete.
    virtual void BeginPage(int /*page*/) {}
    virtual void EndPage() {}
    virtual void DrawText(EFont font, int x, int y, std::string_view text) = 0;
    virtual void DrawLine(int x1, int y1, int x2, int y2) = 0;
};
