#include "gui/widgets/status_label.h"

#include <QLabel>

QLabel* MakeStatusLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName("statusLine");
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Two lines: a failure's cause follows its first words instead of being
    // cut off at the dialog's edge, and the two-line texts fit whole. The
    // tooltip holds the whole text whatever its length (CStatusLineView).
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setFixedHeight(2 * label->fontMetrics().lineSpacing() + 6);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long result text must not widen the dialog.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    return label;
}
