#include "gui/widgets/status_line_view.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>

CStatusLineView::~CStatusLineView()
{
    // A view that goes away with its cursor up (a dialog closed in the
    // middle) must not leave the whole program showing the wait cursor.
    while (cursorDepth_ > 0)
        SetWaitCursor(false);
}

void CStatusLineView::SetStatus(const std::string& text)
{
    if (!status_)
        return;
    status_->setText(QString::fromStdString(text));
    status_->repaint();
}

void CStatusLineView::SetProgress(int percent)
{
    if (!progress_)
        return;
    progress_->setValue(percent < 0 ? 0 : percent > 100 ? 100 : percent);
    progress_->repaint();
}

void CStatusLineView::SetWaitCursor(bool on)
{
    if (on) {
        ++cursorDepth_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (cursorDepth_ > 0) {
        --cursorDepth_;
        QApplication::restoreOverrideCursor();
    }
}
