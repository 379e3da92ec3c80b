#pragma once

#include "common/operation_view.h"

class QLabel;
class QProgressBar;

// A dialog's operation view: its one-line status text, its progress bar (if
// it has one) and the wait cursor. Everything runs on the one thread without
// pumping messages, so each change is painted at once.
class CStatusLineView final : public COperationView {
public:
    explicit CStatusLineView(QLabel* status, QProgressBar* progress = nullptr) : status_(status), progress_(progress) {}
    ~CStatusLineView() override;

    void SetStatus(const std::string& text) override;
    void SetProgress(int percent) override;
    void SetWaitCursor(bool on) override;

    // Whether this view has the wait cursor up now.
    bool WaitCursorShown() const { return cursorDepth_ > 0; }

private:
    QLabel* status_;
    QProgressBar* progress_;
    int cursorDepth_ = 0;
};
