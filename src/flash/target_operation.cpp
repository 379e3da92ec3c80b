#include "flash/target_operation.h"

#include "probe/target_connection.h"
#include "catalogue/flash_catalogue.h"
#include "common/text_format.h"

CTargetOperation::CTargetOperation(CProbeLibrary& library, CMessageBox& box, COperationView& view,
                                   std::string channelText, CClock& clock)
    : library_(library), box_(box), view_(view), channelText_(std::move(channelText)), clock_(clock)
{
}

void CTargetOperation::Begin()
{
    view_.SetStatus("");
    view_.SetProgress(0);
}

ETargetResult CTargetOperation::NoDevice()
{
    box_.Show("No valid memory device selected!", "Error", EMsgIcon::Stop, EMsgButtons::Ok);
    return ETargetResult::NoDevice;
}

bool CTargetOperation::RangeInside(const CMemoryRange& range, const CMemoryRange& physical)
{
    return range.CheckInside(physical, "", &box_);
}

bool CTargetOperation::BusWidthValid(uint32_t busWidthBytes)
{
    if (busWidthBytes == 1 || busWidthBytes == 2 || busWidthBytes == 4)
        return true;
    const std::string held =
        busWidth == kNoBusWidth ? std::string() : Format(" (the project file holds code %d)", busWidth);
    box_.Show("The project's data bus width is not valid" + held +
                  ": choose 8, 16 or 32 bit in the target memory setup.",
              "Error", EMsgIcon::Stop, EMsgButtons::Ok);
    return false;
}

ETargetResult CTargetOperation::BeginWithDevice(const CMemoryRange& range, const CMemoryRange& physical)
{
    Begin();
    if (!RangeInside(range, physical))
        return ETargetResult::InvalidRange;
    uint32_t algorithm = 0;
    if (!CFlashCatalogue::GetFlashProgramAlgorithm(flashDevice, algorithm))
        return NoDevice();
    return ETargetResult::Done;
}

bool CTargetOperation::PassDeviceCheck(const SFlashArray& array)
{
    if (deviceCheck == EDeviceCheck::Off) {
        deviceCheckResult_.summary = "Device check: off.";
        view_.SetStatus(deviceCheckResult_.summary);
        return true;
    }
    deviceCheckResult_ = CDeviceCheck::Run(library_, array);
    view_.SetStatus(deviceCheckResult_.summary);
    if (CDeviceCheck::Confirm(deviceCheckResult_, deviceCheck, box_))
        return true;
    view_.SetStatus(deviceCheckResult_.summary + " Nothing was erased or programmed.");
    return false;
}

ETargetResult CTargetOperation::Sequence(const SSequence& sequence,
                                         const std::function<SOperationResult(CTargetConnection&)>& operation)
{
    bool listsFailed = false;
    bool operationFailed = false;
    bool stopped = false;
    bool refused = false;
    result_ = SOperationResult{};
    deviceCheckResult_ = SDeviceCheckResult{};
    // A stop that came before the operation began: the probe is not touched.
    if (view_.CancelRequested()) {
        view_.SetStatus("Stopped before connecting to the probe.");
        return ETargetResult::Stopped;
    }
    {
        CWaitCursor cursor(view_);
        CTargetConnection connection(library_, box_, channelText_, clock_);
        // Every list is checked before the probe is touched: a post-list
        // refused only after the operation would leave, say, an erased flash
        // reported as an erase error.
        if (!connection.CheckInitList(mainList, true, &view_, "Main init list") ||
            (sequence.preList && !connection.CheckInitList(*sequence.preList, false, &view_, sequence.preListName)) ||
            (sequence.postList && !connection.CheckInitList(*sequence.postList, false, &view_, sequence.postListName))) {
            box_.Show("Processing target init list failed!", "Error", EMsgIcon::Stop, EMsgButtons::Ok);
            return ETargetResult::InitListFailed;
        }
        if (!connection.ConnectTarget(&view_))
            return ETargetResult::ConnectFailed;
        view_.SetStatus("Processing init list ...");
        if (!connection.LoadInitList(targetOptions, mainList, &view_)) {
            listsFailed = true;
        } else if (sequence.identify && !PassDeviceCheck(*sequence.identify)) {
            refused = true;
        } else if (sequence.preList && !connection.RunInitList(*sequence.preList, &view_, true, sequence.preListName)) {
            listsFailed = true;
        } else {
            if (sequence.statusText)
                view_.SetStatus(sequence.statusText);
            result_ = operation(connection);
            stopped = result_.status == EOperationStatus::Cancelled;
            // The post-list runs after a failed or stopped operation too: it
            // puts the board back the way the pre-list found it.
            const bool postDone = !sequence.postList || connection.RunInitList(*sequence.postList, &view_, false, sequence.postListName);
            operationFailed = !result_.Ok() || !postDone;
        }
        connection.DisconnectTarget();
    }
    if (refused)
        return ETargetResult::DeviceRefused;
    if (listsFailed && view_.CancelRequested()) {
        view_.SetStatus("Stopped while running the init list; the connection was ended.");
        return ETargetResult::Stopped;
    }
    if (listsFailed) {
        box_.Show("Processing target init list failed!", "Error", EMsgIcon::Stop, EMsgButtons::Ok);
        return ETargetResult::InitListFailed;
    }
    if (stopped)
        return ETargetResult::Stopped; // the status line says so; no failure box for a wish granted
    if (operationFailed) {
        const std::string details = sequence.failureDetails ? sequence.failureDetails() : std::string();
        box_.ShowDetailed(sequence.failureBox, "Error", EMsgIcon::Stop, EMsgButtons::Ok, details);
        return ETargetResult::OperationFailed;
    }
    return ETargetResult::Done;
}
