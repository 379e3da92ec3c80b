#include "gui/app/help_window.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

CHelpWindow::CHelpWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName("helpWindow");
    setWindowTitle(tr("Tarvel Help"));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName("helpBrowser");
    browser_->setOpenExternalLinks(false);
    QFile manual(QStringLiteral(":/help/manual.md"));
    if (manual.open(QIODevice::ReadOnly))
        browser_->setMarkdown(QString::fromUtf8(manual.readAll()));
    else
        browser_->setPlainText(tr("The manual is missing from this build."));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* top = new QVBoxLayout(this);
    top->addWidget(browser_, 1);
    top->addWidget(buttons);
    const int em = fontMetrics().averageCharWidth();
    resize(em * 90, fontMetrics().height() * 36);
}
