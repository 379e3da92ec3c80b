#pragma once

#include "common/clock.h"
#include "common/message_box.h"
#include "common/operation_view.h"
#include "probe/probe_frames.h"
#include "probe/probe_library.h"

#include <cstdint>
#include <string>
#include <vector>

class CCodeList;

// What every target operation does around its transfer: connect to the
// probe's flash-programming firmware, hand it the main init list, run the
// pre- and post-operation lists from the host, turn status codes into the
// status line's texts, and end the connection.
//
// The status line may be absent (nullptr): its texts are then dropped. Only
// a failed connect shows a message box.
class CTargetConnection {
public:
    // Steps the host run of one list may take (entries run, loops included)
    // before it is stopped: adjacent LOOP entries can make a walk that never
    // ends, and a run must end within its timeouts.
    static constexpr uint64_t kMaxRunSteps = 10'000'000;

    CTargetConnection(CProbeLibrary& library, CMessageBox& box, std::string channelText,
                      CClock& clock = CSystemClock::Instance());
    ~CTargetConnection();
    CTargetConnection(const CTargetConnection&) = delete;
    CTargetConnection& operator=(const CTargetConnection&) = delete;

    // Opens the link on the channel text, connects to the probe, checks that
    // the flash-programming firmware runs and starts flash programming. On
    // failure: a box with the reason, "Connecting to QDX failed!" in the
    // status line, and whatever was opened is closed again (the probe is
    // left idle, so that the next attempt starts clean).
    bool ConnectTarget(COperationView* status);
    // Hands the main list (at most 128 entries; empty slots skipped) with the
    // target configuration word to the probe.
    // A failure's status line names the main list ("Main init list: ...").
    bool LoadInitList(uint32_t targetOptions, const CCodeList& list, COperationView* status);
    // Runs a list on the host, one library call per entry (empty slots
    // skipped). A LOOP repeats the two entries before it with a growing
    // address offset, as the probe runs the main list; a LOOP that would go
    // back before the first entry is refused as an invalid argument before
    // any entry runs (the probe refuses such a main list the same way).
    // With `stoppable`, the view's stop request is asked between entries and
    // during delays (kStatusStopped); a post-list runs to its end.
    // A failure's status line names the list (`listName`, e.g. "Pre-program
    // init list") and, where one entry failed, its position in the list and
    // its columns: "Pre-program init list, entry 3 (WM32 10000000 1): ...".
    bool RunInitList(const CCodeList& list, COperationView* status, bool stoppable = false,
                     const std::string& listName = "Init list");
    // The checks LoadInitList (`onProbe`: the main list, which the probe
    // runs) or RunInitList makes of a list before anything of it is sent or
    // run, without touching the probe: the main list's length; for every list
    // its loops (one that goes back before the list's start or never ends),
    // step count and delays. A failure's status line names the list and,
    // for a loop, the entry: "Main init list, entry 1 (LOOP 0 2): ...".
    // Every target command checks all its lists this way before it connects,
    // so that a bad post-list cannot stop it after the flash was changed.
    bool CheckInitList(const CCodeList& list, bool onProbe, COperationView* status, const std::string& listName);
    // Ends the connection: TargetDisconnect, then closes the link. Always
    // true; harmless when nothing is connected.
    bool DisconnectTarget();
    // True for status 0; otherwise writes the status's message into the
    // status line and returns false.
    bool ReportStatus(COperationView* status, int code, uint32_t address);
    // The message of a nonzero status (what ReportStatus writes).
    std::string StatusText(int code, uint32_t address);
    // Like ReportStatus, with what was being done in front of the reason
    // ("Reading target memory at address 0x10000000: ..."); an empty context
    // gives ReportStatus's text.
    bool ReportStatusIn(COperationView* status, int code, const std::string& context);

    bool IsConnected() const { return connected_; }
    CProbeLibrary& Library() { return library_; }
    CProbeFrames& Frames() { return frames_; }
    CClock& Clock() { return clock_; }

    // The records handed to the probe for a list: one per entry, in order.
    static std::vector<SInitListRecord> Records(const CCodeList& list);

private:
    int RunEntry(const SInitListRecord& entry, uint32_t offset);

    CProbeLibrary& library_;
    CMessageBox& box_;
    std::string channelText_;
    CClock& clock_;
    CProbeFrames frames_;
    bool connected_ = false;
    // The view of the list being run: its stop request is asked between entries and during delays.
    COperationView* cancelView_ = nullptr;
};
