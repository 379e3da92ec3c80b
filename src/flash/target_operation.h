#pragma once

#include "common/clock.h"
#include "common/message_box.h"
#include "common/operation_view.h"
#include "flash/device_check.h"
#include "flash/operation_result.h"
#include "project/memory_range.h"
#include "project/code_list.h"

#include <cstdint>
#include <functional>
#include <string>

class CProbeLibrary;
class CTargetConnection;

// How a target command ended.
enum class ETargetResult {
    Done,
    InvalidRange,    // the range is not inside the physical memory range (box shown)
    InvalidSetup,    // the project's bus width or bank count cannot be used (box shown); nothing was sent
    NoDevice,        // "No valid memory device selected!" (box shown)
    Cancelled,       // the person said no to a question; nothing was sent
    NothingSelected, // Erase Sectors with no sector selected; nothing was sent
    ConnectFailed,   // the connect's own box and status line
    InitListFailed,  // main list or pre-list: "Processing target init list failed!"
    OperationFailed, // the operation or the post-list: the command's failure box
    Stopped,         // the person stopped the operation; the post-list ran, the connection was ended
    DeviceRefused,   // the flash is not the project's device and the person or the front end said no
                     // (the box shown); nothing was erased or programmed, the connection was ended
};

// The order every target command follows once its checks have passed:
// connect, hand over the main list, run the pre-list, the operation and the
// post-list (also after a failed operation), end the connection on every
// path, and show one failure box with caption "Error". The wait cursor is
// shown from the connect to the end.
class CTargetOperation {
public:
    CTargetOperation(CProbeLibrary& library, CMessageBox& box, COperationView& view, std::string channelText,
                     CClock& clock = CSystemClock::Instance());
    virtual ~CTargetOperation() = default;

    // The target configuration word and the main init list, as every
    // command's dialog receives them from the project.
    uint32_t targetOptions = 0;
    CCodeList mainList;
    // The selected device's catalogue name.
    std::string flashDevice;
    // The number of banks, and what an erase or program does when the
    // flash's identity does not match the device (CDeviceCheck).
    uint32_t flashBanks = 1;
    EDeviceCheck deviceCheck = EDeviceCheck::Ask;
    // The project's bus width code as its file holds it (0, 1, 2 for 8, 16,
    // 32 bit), so that a refusal can name a damaged one; kNoBusWidth: not given.
    static constexpr int kNoBusWidth = -1;
    int busWidth = kNoBusWidth;

protected:
    struct SSequence {
        const CCodeList* preList = nullptr;   // run on the host before the operation
        const char* preListName = "Pre-operation init list";   // named in a failure's status line
        const char* postListName = "Post-operation init list";
        const char* statusText = nullptr;     // shown before the operation (nullptr: none)
        const CCodeList* postList = nullptr;  // run on the host after the operation
        const char* failureBox = "";          // the box of a failed operation or post-list
        // The failure box's details, asked after a failed operation (empty: none).
        std::function<std::string()> failureDetails;
        // The flash whose identity is checked after the main list, before
        // the pre-list (nullptr: none; the commands that erase or program).
        const SFlashArray* identify = nullptr;
    };

    // Clears the status line and the progress bar (the start of every command).
    void Begin();
    // Shows "No valid memory device selected!" and answers NoDevice.
    ETargetResult NoDevice();
    // Checks `range` against the physical memory range (a box says why not).
    bool RangeInside(const CMemoryRange& range, const CMemoryRange& physical);
    // False, with a box, when `busWidthBytes` is not 1, 2 or 4 (a project
    // file can hold any bus width code; only 0..2 name a bus).
    bool BusWidthValid(uint32_t busWidthBytes);
    // Begin, the range check and the look-up of the device's program
    // algorithm, with which Dump and Verify start: Done when all passed, else
    // why not (the box shown).
    ETargetResult BeginWithDevice(const CMemoryRange& range, const CMemoryRange& physical);
    // Reads the identity of `array` and compares it with the device; true to
    // go on (a match, a flash without an answer, or the person's yes).
    bool PassDeviceCheck(const SFlashArray& array);
    // Connect, lists, the operation and disconnect, as above.
    ETargetResult Sequence(const SSequence& sequence,
                           const std::function<SOperationResult(CTargetConnection&)>& operation);

public:
    // How the last operation ended, as values (the status line holds its text).
    const SOperationResult& Result() const { return result_; }
    // What the last device check found.
    const SDeviceCheckResult& DeviceCheckResult() const { return deviceCheckResult_; }

protected:
    SOperationResult result_;
    SDeviceCheckResult deviceCheckResult_;

    CProbeLibrary& library_;
    CMessageBox& box_;
    COperationView& view_;
    std::string channelText_;
    CClock& clock_;
};
