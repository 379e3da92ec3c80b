#include "flash/identify_operation.h"

#include "catalogue/flash_catalogue.h"
#include "common/text_format.h"
#include "probe/target_connection.h"

std::vector<const SFlashDevice*> CIdentifyOperation::Fits() const
{
    return banks_.empty() ? std::vector<const SFlashDevice*>{} : CDeviceCheck::Fits(banks_.front(), busWidthBytes);
}

std::string CIdentifyOperation::Report() const
{
    if (!skipped_.empty())
        return "not read: " + skipped_ + "\n";
    std::string text;
    for (const SFlashIdentity& id : banks_) {
        text += Format("bank %u at 0x%08X: ", id.bank, id.bankStart) + CDeviceCheck::DescribeCodes(id) + "\n";
        if (!id.cfi || id.garbled) {
            text += id.cfi ? "  not checked: the CFI table does not add up\n"
                           : "  not checked: no answer to the CFI query\n";
            continue;
        }
        text += "  " + CDeviceCheck::Describe(id) + "\n";
        if (!id.lanesAgree)
            text += "  the devices side by side answer differently\n";
        const auto rows = CDeviceCheck::Fits(id, busWidthBytes);
        text += rows.empty() ? "  fits: no catalogue row\n" : "  fits:\n";
        for (const SFlashDevice* row : rows)
            text += Format("    \"%s\"\n", row->name);
    }
    using EOutcome = SDeviceCheckResult::EOutcome;
    if (comparison_.outcome == EOutcome::Match)
        text += Format("the project's device \"%s\" matches\n", flashDevice.c_str());
    else if (comparison_.outcome == EOutcome::Mismatch)
        text += Format("the project's device \"%s\" does not match: ", flashDevice.c_str()) +
                comparison_.differences + "\n";
    else if (comparison_.outcome == EOutcome::NotReadMode)
        text += comparison_.summary + "\n";
    return text;
}

ETargetResult CIdentifyOperation::Start()
{
    Begin();
    banks_.clear();
    skipped_.clear();
    comparison_ = SDeviceCheckResult{};
    if (!BusWidthValid(busWidthBytes))
        return ETargetResult::InvalidSetup;
    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice(flashDevice);
    if (device && !CFlashIdentify::Supported(*device, skipped_)) {
        view_.SetStatus("Identify: not read (" + skipped_ + ").");
        return ETargetResult::Done;
    }
    const SFlashArray array{device, flashBase, busWidthBytes, device ? flashBanks : 1};
    SSequence sequence;
    sequence.statusText = "Identifying ...";
    sequence.failureBox = "Identifying error!";
    return Sequence(sequence, [&](CTargetConnection& connection) {
        SOperationResult result;
        int status = 0;
        switch (CFlashIdentify::Read(library_, array, banks_, status)) {
        case CFlashIdentify::EOutcome::Read:
            break;
        case CFlashIdentify::EOutcome::Unsupported:
            result.status = EOperationStatus::NotPossible;
            view_.SetStatus("Identify: the bus width or the number of banks does not fit the device.");
            return result;
        case CFlashIdentify::EOutcome::LibraryError:
            result.status = EOperationStatus::ProbeError;
            result.probeStatus = status;
            connection.ReportStatusIn(&view_, status, "Identify");
            return result;
        }
        if (device)
            comparison_ = CDeviceCheck::Compare(array, banks_);
        const size_t fits = Fits().size();
        if (banks_.empty() || !banks_.front().Usable())
            view_.SetStatus("Identify: the flash did not answer the CFI query.");
        else
            view_.SetStatus(Format("Identify: %zu catalogue row%s fit%s the flash.", fits, fits == 1 ? "" : "s",
                                   fits == 1 ? "s" : ""));
        return result;
    });
}
