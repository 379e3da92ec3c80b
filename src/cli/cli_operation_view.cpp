#include "cli/cli_operation_view.h"

#include "cli/cli_interrupt.h"
#include "common/clock.h"

#include <cstdio>
#include <string>
#include <unistd.h>

CCliOperationView::CCliOperationView() : terminal_(::isatty(STDERR_FILENO) != 0) {}

// The bar is taken off its line before a status line takes its place, so a
// log of the terminal keeps the status lines only.
void CCliOperationView::EndBar()
{
    if (barShown_) {
        std::fprintf(stderr, "\r%60s\r", "");
        barShown_ = false;
    }
}

void CCliOperationView::SetStatus(const std::string& text)
{
    if (!text.empty()) {
        if (recent_.size() == kKeptLines)
            recent_.erase(recent_.begin());
        recent_.push_back(text);
    }
    if (text.empty() || quiet_)
        return; // an emptied status line has nothing to say on a terminal log
    EndBar();
    std::fprintf(stderr, "%s\n", text.c_str());
}

void CCliOperationView::Detail(const std::string& text)
{
    if (!verbose_ || quiet_ || text.empty())
        return;
    EndBar();
    std::fprintf(stderr, "%s\n", text.c_str());
}

void CCliOperationView::SetWaitCursor(bool on)
{
    if (on) {
        // An operation begins: its log lines count their time from here.
        startMs_ = lastLineMs_ = CSystemClock::Instance().NowMicros() / 1000;
        lastTenth_ = -1;
    }
}

bool CCliOperationView::CancelRequested()
{
    if (!CliInterruptRequested())
        return false;
    if (!holdStops_)
        return true;
    if (!holdShown_ && !holdWhy_.empty()) {
        holdShown_ = true;
        SetStatus(holdWhy_);
    }
    return false;
}

void CCliOperationView::SetProgress(int percent)
{
    // Nothing to show before the first step: a bar at 0 % says nothing.
    if (!terminal_ || quiet_ || (percent <= 0 && !barShown_))
        return;
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    const int filled = percent * 40 / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(40 - filled), ' ').c_str(), percent);
    std::fflush(stderr);
    barShown_ = true;
}

void CCliOperationView::Progress(const SProgressEvent& event)
{
    if (terminal_ || quiet_ || event.total == 0)
        return;
    const uint64_t nowMicros = CSystemClock::Instance().NowMicros();
    const uint64_t now = nowMicros / 1000;
    if (event.kind != kind_ || lastTenth_ < 0) {
        if (event.kind != kind_ && lastTenth_ >= 0)
            startMs_ = now; // a second operation inside the same bracket
        kind_ = event.kind;
        lastLineMs_ = now;
        lastTenth_ = 0;
    }
    const int tenth = static_cast<int>(event.done * 10 / event.total);
    if (tenth == lastTenth_ && now - lastLineMs_ < 5000)
        return;
    if (event.done == 0)
        return;
    lastTenth_ = tenth;
    lastLineMs_ = now;
    const double seconds = static_cast<double>(nowMicros - startMs_ * 1000) / 1e6;
    const bool bytes = event.kind != EOperationKind::Erase && event.kind != EOperationKind::Other &&
                       event.kind != EOperationKind::ProbeLogic;
    const char* name = event.kind == EOperationKind::Erase           ? "Erasing"
                       : event.kind == EOperationKind::Program       ? "Programming"
                       : event.kind == EOperationKind::Verify        ? "Verifying"
                       : event.kind == EOperationKind::Dump          ? "Dumping"
                       : event.kind == EOperationKind::ProbeFirmware ? "Firmware"
                       : event.kind == EOperationKind::ProbeLogic    ? "Logic"
                                                                     : "Working";
    // The logic goes in row by row; erases count sectors or requests.
    const char* unit = event.kind == EOperationKind::ProbeLogic ? " rows" : "";
    const unsigned percent = static_cast<unsigned>(event.done * 100 / event.total);
    if (bytes && seconds >= 0.1) {
        const double rate = static_cast<double>(event.done) / 1000.0 / seconds; // kB: 1000 bytes
        std::fprintf(stderr, "%s: %llu of %llu bytes (%u %%), %.0f kB/s, %.2f s\n", name,
                     static_cast<unsigned long long>(event.done), static_cast<unsigned long long>(event.total),
                     percent, rate, seconds);
    } else if (bytes) {
        // Before a tenth of a second a rate says more about the clock than the link.
        std::fprintf(stderr, "%s: %llu of %llu bytes (%u %%), %.2f s\n", name,
                     static_cast<unsigned long long>(event.done), static_cast<unsigned long long>(event.total),
                     percent, seconds);
    } else {
        std::fprintf(stderr, "%s: %llu of %llu%s (%u %%), %.1f s\n", name,
                     static_cast<unsigned long long>(event.done), static_cast<unsigned long long>(event.total), unit,
                     percent, seconds);
    }
}
