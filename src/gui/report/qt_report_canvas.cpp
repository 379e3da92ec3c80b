#include "gui/report/qt_report_canvas.h"

#include "report/base_font_widths.h"

#include <QPainter>
#include <QPen>
#include <QStringDecoder>

#include <cmath>

namespace {

int PointSize(CReportCanvas::EFont font)
{
    return font == CReportCanvas::EFont::Title ? 14 : 9;
}

} // namespace

QFont CQtReportCanvas::Font(EFont font, int height)
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif, QFont::PreferMatch);
    f.setPixelSize(std::max(1, height));
    f.setWeight(font == EFont::Normal ? QFont::Normal : QFont::Bold);
    // Widths as the font defines them, at any scale of the painter.
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    return f;
}

CQtReportCanvas::CQtReportCanvas(QPainter* painter, int dpi, int pageWidth, int pageHeight)
    : painter_(painter),
      dpi_(dpi),
      pageWidth_(pageWidth),
      pageHeight_(pageHeight),
      fonts_{Font(EFont::Normal, 9 * dpi / 72), Font(EFont::Bold, 9 * dpi / 72), Font(EFont::Title, 14 * dpi / 72)},
      metrics_{QFontMetricsF(fonts_[0]), QFontMetricsF(fonts_[1]), QFontMetricsF(fonts_[2])}
{
    const QFontMetricsF& normal = metrics_[0];
    averageWidth_ = static_cast<int>(
        std::lround(CBaseFontWidths::AverageWidth([&normal](char c) { return normal.horizontalAdvance(QChar(c)); })));
}

QString CQtReportCanvas::ToQString(std::string_view text)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString out = utf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (!utf8.hasError())
        return out;
    const std::string winAnsi = CBaseFontWidths::ToWinAnsi(text);
    QStringDecoder cp1252("windows-1252");
    if (cp1252.isValid())
        return cp1252(QByteArrayView(winAnsi.data(), static_cast<qsizetype>(winAnsi.size())));
    return QString::fromLatin1(winAnsi.data(), static_cast<qsizetype>(winAnsi.size()));
}

int CQtReportCanvas::FontHeight(EFont font) const
{
    return PointSize(font) * dpi_ / 72;
}

int CQtReportCanvas::TextWidth(EFont font, std::string_view text) const
{
    return static_cast<int>(std::lround(metrics_[Index(font)].horizontalAdvance(ToQString(text))));
}

void CQtReportCanvas::DrawText(EFont font, int x, int y, std::string_view text)
{
    if (!painter_)
        return;
    painter_->setFont(fonts_[Index(font)]);
    painter_->drawText(QPointF(x, y + metrics_[Index(font)].ascent()), ToQString(text));
}

void CQtReportCanvas::DrawLine(int x1, int y1, int x2, int y2)
{
    if (!painter_)
        return;
    // Half a point wide at any resolution.
    painter_->setPen(QPen(Qt::black, dpi_ / 144.0));
    painter_->drawLine(QPointF(x1, y1), QPointF(x2, y2));
}
