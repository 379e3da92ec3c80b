#include "gui/app/help_window.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
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

bool CHelpWindow::ShowSection(const QString& heading)
{
    QTextDocument* manual = browser_->document();
    for (QTextBlock block = manual->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0 || block.text().trimmed() != heading)
            continue;
        browser_->setTextCursor(QTextCursor(block));
        const QRectF at = manual->documentLayout()->blockBoundingRect(block);
        browser_->verticalScrollBar()->setValue(static_cast<int>(at.top()));
        return true;
    }
    return false;
}

QString CHelpWindow::CurrentHeading() const
{
    const QTextBlock block = browser_->textCursor().block();
    return block.blockFormat().headingLevel() > 0 ? block.text().trimmed() : QString();
}
