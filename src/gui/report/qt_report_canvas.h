#pragma once

#include "report/report_canvas.h"

#include <QFont>
#include <QFontMetricsF>
#include <QString>

class QPainter;
class QPaintDevice;

// The report on a QPainter: a printer's page, a print preview's page or the
// main window's report view. The three faces are "Arial" (which resolves to a
// face with the same widths where the free metric-compatible fonts are
// installed); each font's character height is its point size x the
// device's vertical resolution / 72. The painter may be scaled: the layout
// then works in the units of `dpi` and the painter maps them.
class CQtReportCanvas final : public CReportCanvas {
public:
    // `pageWidth` x `pageHeight`: the printable page in units of `dpi`.
    CQtReportCanvas(QPainter* painter, int dpi, int pageWidth, int pageHeight);

    // The canvas's view of a project text (UTF-8; a text that is not UTF-8 is
    // taken as Windows-1252, as the PDF form takes it).
    static QString ToQString(std::string_view text);
    // The font the report uses for `font` at a character height of `height` units.
    static QFont Font(EFont font, int height);

    int PageWidth() const override { return pageWidth_; }
    int PageHeight() const override { return pageHeight_; }
    int FontHeight(EFont font) const override;
    int AverageCharWidth() const override { return averageWidth_; }
    int TextWidth(EFont font, std::string_view text) const override;

    void DrawText(EFont font, int x, int y, std::string_view text) override;
    void DrawLine(int x1, int y1, int x2, int y2) override;

    // The painter for the next pages (print preview hands a new one per run).
    void SetPainter(QPainter* painter) { painter_ = painter; }

private:
    int Index(EFont font) const { return static_cast<int>(font); }

    QPainter* painter_;
    int dpi_;
    int pageWidth_;
    int pageHeight_;
    QFont fonts_[3];
    QFontMetricsF metrics_[3];
    int averageWidth_ = 0;
};
