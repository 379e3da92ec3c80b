#include "gui/widgets/status_label.h"

#include <QLabel>

QLabel* MakeStatusLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName("statusLine");
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumHeight(label->fontMetrics().height() + 6);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long result text must not widen the dialog.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    return label;
}
