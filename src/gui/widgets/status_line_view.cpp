#include "gui/widgets/status_line_view.h"

#include "common/clock.h"
#include "flash/operation_texts.h"

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
    const QString shown = QString::fromStdString(text);
    status_->setText(shown);
    status_->setToolTip(shown);
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
        runningKind_ = EOperationKind::Other;
        ++cursorDepth_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (cursorDepth_ > 0) {
        --cursorDepth_;
        QApplication::restoreOverrideCursor();
    }
}

void CStatusLineView::Progress(const SProgressEvent& event)
{
    const uint64_t now = CSystemClock::Instance().NowMicros();
    if (event.kind != runningKind_ || event.done < firstDone_) {
        runningKind_ = event.kind;
        firstDone_ = event.done;
        firstMicros_ = now;
    }
    const std::string text =
        COperationTexts::Running(event, event.done - firstDone_, (now - firstMicros_) / 1000);
    if (!text.empty())
        SetStatus(text);
}
