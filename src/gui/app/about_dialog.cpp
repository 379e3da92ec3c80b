#include "gui/app/about_dialog.h"

#include "gui/app/svg_icon.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName("aboutDialog");
    setWindowTitle(tr("About Tarvel"));

    auto* icon = new QLabel(this);
    icon->setObjectName("programIcon");
    const int side = fontMetrics().height() * 2 + 8;
    icon->setPixmap(CSvgIcon::Load("tarvel").pixmap(side, side));
    icon->setAlignment(Qt::AlignTop);

    auto* product = new QLabel(QString::fromLatin1(kProduct), this);
    product->setObjectName("productLabel");
    auto* version = new QLabel(QString::fromLatin1(kVersion), this);
    version->setObjectName("versionLabel");
    auto* lines = new QVBoxLayout;
    lines->addWidget(product);
    lines->addWidget(version);
    lines->addStretch(1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName("buttons");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addLayout(lines, 1);
    auto* top = new QVBoxLayout(this);
    top->addLayout(row);
    top->addWidget(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);
}
