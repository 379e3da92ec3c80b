#pragma once

#include "common/operation_view.h"

class QLabel;
class QProgressBar;

// A dialog's operation view: its one-line status text, its progress bar (if
// it has one) and the wait cursor. Each change is painted at once, so a
// caller that keeps the user-interface thread busy still shows it.
class CStatusLineView final : public COperationView {
public:
    explicit CStatusLineView(QLabel* status, QProgressBar* progress = nullptr) : status_(status), progress_(progress) {}
    ~CStatusLineView() override;

    void SetStatus(const std::string& text) override;
    void SetProgress(int percent) override;
    void SetWaitCursor(bool on) override;
    // A program, verify or dump block: the status line shows the bytes done
    // and the rate since the transfer's first block.
    void Progress(const SProgressEvent& event) override;

    // Whether this view has the wait cursor up now.
    bool WaitCursorShown() const { return cursorDepth_ > 0; }

private:
    QLabel* status_;
    QProgressBar* progress_;
    int cursorDepth_ = 0;
    // The transfer the running line follows: its kind, first block's bytes and time.
    EOperationKind runningKind_ = EOperationKind::Other;
    uint64_t firstDone_ = 0;
    uint64_t firstMicros_ = 0;
};
