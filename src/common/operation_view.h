#pragma once

#include <string>

// The one sink for what a long operation shows while it runs: the dialog's
// one-line status text, its progress bar (0..100) and the wait cursor.
// Order of events for one operation: SetWaitCursor(true), any number of
// SetStatus / SetProgress, SetWaitCursor(false); the final SetStatus (the
// result text) may come after the cursor is restored.
class COperationView {
public:
    virtual ~COperationView() = default;
    virtual void SetStatus(const std::string& text) = 0;
    virtual void SetProgress(int percent) = 0;
    virtual void SetWaitCursor(bool on) = 0;
};

// A view that shows nothing, for callers without a person watching.
class CNullOperationView final : public COperationView {
public:
    void SetStatus(const std::string&) override {}
    void SetProgress(int) override {}
    void SetWaitCursor(bool) override {}
};

// Restores the cursor on every path out of a scope.
class CWaitCursor {
public:
    explicit CWaitCursor(COperationView& view) : view_(view) { view_.SetWaitCursor(true); }
    ~CWaitCursor() { view_.SetWaitCursor(false); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    COperationView& view_;
};
