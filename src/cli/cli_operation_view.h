#pragma once

#include "common/operation_view.h"

#include <string>
#include <vector>

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
    // Verbose: the detail lines too (each span of a transfer over many).
    void Detail(const std::string& text) override;
    void SetVerbose(bool verbose) { verbose_ = verbose; }
    // The last status lines shown since ForgetStatus (kept when quiet too;
    // the newest last, at most kKeptLines), for a step's report.
    static constexpr size_t kKeptLines = 8;
    const std::vector<std::string>& RecentStatus() const { return recent_; }
    std::string LastStatus() const { return recent_.empty() ? std::string() : recent_.back(); }
    void ForgetStatus() { recent_.clear(); }
    // For tests of the log lines: as if stderr were (not) a terminal.
    void SetTerminal(bool terminal) { terminal_ = terminal; }
    // The wait cursor brackets an operation: its log lines count from there.
    void SetWaitCursor(bool on) override;
    // A stop request (cli_interrupt.h) ends the operation in hand, unless
    // stops are held back (HoldStops): then the operation goes on to its
    // end, and `why` is shown once when a stop comes.
    bool CancelRequested() override;
    void HoldStops(bool hold, const std::string& why = {})
    {
        holdStops_ = hold;
        holdWhy_ = why;
        holdShown_ = false;
    }

private:
    void EndBar();

    std::vector<std::string> recent_;
    bool terminal_;
    bool quiet_ = false;
    bool holdStops_ = false;
    std::string holdWhy_;
    bool holdShown_ = false;
    bool verbose_ = false;
    bool stopsInOrder_ = true;
    bool barShown_ = false;
    // The operation the log lines follow.
    EOperationKind kind_ = EOperationKind::Other;
    uint64_t startMs_ = 0;
    uint64_t lastLineMs_ = 0;
    int lastTenth_ = -1;
};
