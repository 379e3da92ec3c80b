#pragma once

#include "common/operation_view.h"

// The command line's operation view: status lines on stderr, and progress:
// a bar when stderr is a terminal; in a log (anything else) one line at every
// 10 % and at least every 5 s, with the bytes done, the rate and the time
// since the operation began. Quiet: nothing but the messages of the boxes.
class CCliOperationView final : public COperationView {
public:
    CCliOperationView();
    void SetStatus(const std::string& text) override;
    void SetProgress(int percent) override;
    void Progress(const SProgressEvent& event) override;
    void SetQuiet(bool quiet) { quiet_ = quiet; }
    // For tests of the log lines: as if stderr were (not) a terminal.
    void SetTerminal(bool terminal) { terminal_ = terminal; }
    // The wait cursor brackets an operation: while one of a step that stops
    // in order runs, Ctrl-C asks it to stop; otherwise Ctrl-C ends the run.
    void SetWaitCursor(bool on) override;
    void SetStopsInOrder(bool stops) { stopsInOrder_ = stops; }
    bool CancelRequested() override;

private:
    void EndBar();

    bool terminal_;
    bool quiet_ = false;
    bool stopsInOrder_ = true;
    bool barShown_ = false;
    // The operation the log lines follow.
    EOperationKind kind_ = EOperationKind::Other;
    uint64_t startMs_ = 0;
    uint64_t lastLineMs_ = 0;
    int lastTenth_ = -1;
};
