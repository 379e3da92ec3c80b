#pragma once

#include <cstdint>
#include <string>

// The long operations that report progress.
// ProbeFirmware counts the bytes of the firmware file, ProbeLogic the rows of
// the logic device.
enum class EOperationKind { Other, Erase, Program, Verify, Dump, ProbeFirmware, ProbeLogic };

// How far an operation has come: `done` of `total` units (bytes for the
// transfers, sectors or requests for an erase).
struct SProgressEvent {
    EOperationKind kind = EOperationKind::Other;
    uint64_t done = 0;
    uint64_t total = 0;
};

// The one sink for what a long operation shows while it runs: the dialog's
// one-line status text, its progress bar (0..100) and the wait cursor, the
// typed progress, and the person's wish to stop.
// Order of events for one operation: SetWaitCursor(true), any number of
// SetStatus / SetProgress / Progress, SetWaitCursor(false); the final
// SetStatus (the result text) may come after the cursor is restored. Every
// Progress event is followed by the bar position it gives, when that changed.
class COperationView {
public:
    virtual ~COperationView() = default;
    virtual void SetStatus(const std::string& text) = 0;
    virtual void SetProgress(int percent) = 0;
    virtual void SetWaitCursor(bool on) = 0;
    // Every progress step of a transfer block or an erase pass or request.
    virtual void Progress(const SProgressEvent&) {}
    // A line below the status line's level (one span of a transfer over
    // many): shown where a person asked for details, ignored otherwise.
    virtual void Detail(const std::string&) {}
    // Asked between transfer blocks and between erase polls: true ends the
    // operation early (the probe is left in order, the connection ended).
    virtual bool CancelRequested() { return false; }
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
