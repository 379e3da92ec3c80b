#include "gui/widgets/qt_message_box.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStringList>
#include <QTextEdit>

#include <algorithm>

namespace {

// Lines of the form "label\tvalue" in a row (the load warning's "Memory
// range:" and "File range:") become the rows of one table, so that their
// values start in one column whatever the labels' widths; the rest stays
// text. Empty when the text has no such line.
QString AlignedHtml(const QString& text)
{
    if (!text.contains('\t'))
        return {};
    QString html;
    bool inTable = false;
    const QStringList lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const qsizetype tab = line.indexOf('\t');
        if (tab >= 0) {
            if (!inTable)
                html += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"0\">");
            inTable = true;
            html += QStringLiteral("<tr><td style=\"padding-right: 12px\">%1</td><td>%2</td></tr>")
                        .arg(line.left(tab).toHtmlEscaped(), line.mid(tab + 1).toHtmlEscaped());
            continue;
        }
        if (inTable)
            html += QStringLiteral("</table>");
        inTable = false;
        html += line.toHtmlEscaped();
        if (i + 1 < lines.size())
            html += QStringLiteral("<br>");
    }
    if (inTable)
        html += QStringLiteral("</table>");
    return html;
}

} // namespace

EMsgResult CQtMessageBox::Show(const std::string& text, const std::string& caption, EMsgIcon icon,
                               EMsgButtons buttons)
{
    return ShowDetailed(text, caption, icon, buttons, {});
}

EMsgResult CQtMessageBox::ShowDetailed(const std::string& text, const std::string& caption, EMsgIcon icon,
                                       EMsgButtons buttons, const std::string& details)
{
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case EMsgIcon::None: qicon = QMessageBox::NoIcon; break;
    case EMsgIcon::Stop: qicon = QMessageBox::Critical; break;
    case EMsgIcon::Exclamation: qicon = QMessageBox::Warning; break;
    case EMsgIcon::Question: qicon = QMessageBox::Question; break;
    case EMsgIcon::Information: qicon = QMessageBox::Information; break;
    }
    QMessageBox::StandardButtons qbuttons = QMessageBox::Ok;
    switch (buttons) {
    case EMsgButtons::Ok: qbuttons = QMessageBox::Ok; break;
    case EMsgButtons::YesNo:
    case EMsgButtons::YesNoDefaultNo: qbuttons = QMessageBox::Yes | QMessageBox::No; break;
    case EMsgButtons::YesNoCancel: qbuttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case EMsgButtons::OkCancel: qbuttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    }
    const QString title = QString::fromStdString(caption.empty() ? std::string(kAppTitle) : caption);
    // The messages set a blank before their closing "!" or "?": a no-break
    // space keeps the mark on the line of its word when the box wraps.
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral(" !"), QStringLiteral("\u00A0!")).replace(QStringLiteral(" ?"), QStringLiteral("\u00A0?"));
    QMessageBox box(qicon, title, shown, qbuttons, owner_);
    if (const QString html = AlignedHtml(shown); !html.isEmpty()) {
        box.setTextFormat(Qt::RichText);
        box.setText(html);
    } else {
        box.setTextFormat(Qt::PlainText);
    }
    // The screen the box opens on: a box larger than it (a large font, a
    // scale factor) would open partly off screen.
    const QScreen* screen = owner_ && owner_->screen() ? owner_->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    int detailsHeight = 0;
    int detailsWidth = 0;
    if (!details.empty()) {
        const QString text = QString::fromStdString(details);
        box.setDetailedText(text);
        // The details are a table of addresses and bytes: in a fixed font,
        // unwrapped, in an area wide and high enough for all of their lines
        // as far as the screen allows; beyond that it scrolls.
        if (auto* area = box.findChild<QTextEdit*>()) {
            area->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            area->setLineWrapMode(QTextEdit::NoWrap);
            area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            const QFontMetrics metrics(area->font());
            const QStringList lines = text.split(QLatin1Char('\n'));
            int widest = 0;
            for (const QString& line : lines)
                widest = std::max(widest, metrics.horizontalAdvance(line));
            const int frame = 2 * area->frameWidth() + 2 * static_cast<int>(area->document()->documentMargin());
            const int scrollBar = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
            const int width = std::min(widest + frame + scrollBar + metrics.averageCharWidth(),
                                       available.width() * 3 / 4);
            detailsHeight = std::min(static_cast<int>(lines.size()) * metrics.lineSpacing() + frame + scrollBar,
                                     available.height() / 2);
            area->setMinimumWidth(width);
            detailsWidth = width + 4 * metrics.averageCharWidth(); // with the box's margins
            // The box fixes the area's height; the one that holds every line
            // replaces it.
            area->setFixedHeight(detailsHeight);
        }
    }
    // A short text makes a box narrower than its caption, which the window
    // frame then cuts ("Inv... put"): room for the caption in a bold title
    // font and the frame's icon and buttons.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        QFont bold = box.font();
        bold.setBold(true);
        const QFontMetrics metrics(bold);
        const int width = metrics.horizontalAdvance(title) + 12 * metrics.averageCharWidth() + 96;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    if (buttons == EMsgButtons::YesNoDefaultNo)
        box.setDefaultButton(QMessageBox::No);
    // Placed over its owner as usual, but moved so that it stays on the
    // screen also once its details are shown below it.
    box.adjustSize();
    const QSize size(std::max(box.sizeHint().width(), detailsWidth), box.sizeHint().height());
    const QRect over = owner_ ? owner_->window()->frameGeometry() : available;
    QPoint at = over.center() - QPoint(size.width() / 2, (size.height() + detailsHeight) / 2);
    at.setX(std::clamp(at.x(), available.left(), std::max(available.left(), available.right() - size.width())));
    at.setY(std::clamp(at.y(), available.top(),
                       std::max(available.top(), available.bottom() - size.height() - detailsHeight - 32)));
    box.move(at);
    switch (box.exec()) {
    case QMessageBox::Yes: return EMsgResult::Yes;
    case QMessageBox::No: return EMsgResult::No;
    case QMessageBox::Cancel: return EMsgResult::Cancel;
    default: break;
    }
    // Closing a question with Escape or the window's close button is the safe answer.
    if (buttons == EMsgButtons::Ok)
        return EMsgResult::Ok;
    return buttons == EMsgButtons::YesNo || buttons == EMsgButtons::YesNoDefaultNo ? EMsgResult::No
                                                                                   : EMsgResult::Cancel;
}
