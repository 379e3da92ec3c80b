#include "probe/target_connection.h"

#include "common/text_format.h"
#include "probe/init_list_walker.h"
#include "probe/probe_status.h"
#include "project/code_list.h"

namespace {

// ", entry N (COLUMNS)" for the record `failed` of `records` (the list's
// entries without its empty slots), with " with loop offset 0x.." when one
// was in force; the columns one space apart.
std::string EntryContext(const CCodeList& list, const std::vector<SInitListRecord>& records,
                         const SInitListRecord* failed, uint32_t failedOffset)
{
    size_t record = static_cast<size_t>(failed - records.data());
    for (size_t i = 0; i < list.GetCount(); ++i) {
        if (list.GetAt(i) == nullptr)
            continue;
        if (record-- != 0)
            continue;
        std::string line;
        for (char c : list.GetAt(i)->GetDisplayLine()) {
            if (c == '\t' || c == ' ') {
                if (!line.empty() && line.back() != ' ')
                    line += ' ';
            } else {
                line += c;
            }
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        std::string context = Format(", entry %zu (%s)", i + 1, line.c_str());
        if (failedOffset != 0)
            context += Format(" with loop offset 0x%lX", static_cast<unsigned long>(failedOffset));
        return context;
    }
    return {};
}

} // namespace

CTargetConnection::CTargetConnection(CProbeLibrary& library, CMessageBox& box, std::string channelText,
                                     CClock& clock)
    : library_(library), box_(box), channelText_(std::move(channelText)), clock_(clock), frames_(library)
{
}

CTargetConnection::~CTargetConnection()
{
    if (connected_)
        DisconnectTarget();
}

bool CTargetConnection::ConnectTarget(COperationView* status)
{
    if (status)
        status->SetStatus(Format("Connecting to QDX ... (%s)", channelText_.c_str()));
    std::string error;
    bool targetConnected = false;
    int code = library_.LinkOpen(channelText_);
    if (code == kStatusOk) {
        SProbeIdentification identification;
        code = library_.TargetConnect(identification);
        if (code == kStatusOk) {
            targetConnected = true;
            if (identification.firmwareKind != kFirmwareKindFlashProgramming)
                error = "Invalid firmware loaded!";
            else
                code = frames_.StartProgramming();
        }
    }
    if (error.empty() && code != kStatusOk)
        error = library_.LinkErrorText(code);
    if (error.empty()) {
        connected_ = true;
        return true;
    }
    // Leave nothing half open: the next command opens the link anew.
    if (targetConnected)
        library_.TargetDisconnect();
    library_.LinkClose();
    box_.Show(error, "Error", EMsgIcon::Stop, EMsgButtons::Ok);
    if (status)
        status->SetStatus("Connecting to QDX failed!");
    return false;
}

std::vector<SInitListRecord> CTargetConnection::Records(const CCodeList& list)
{
    std::vector<SInitListRecord> records;
    records.reserve(list.GetCount());
    for (size_t i = 0; i < list.GetCount(); ++i) {
        int code = 0;
        uint32_t address = 0, value = 0;
        if (!list.GetItemFields(i, code, address, value))
            continue;
        SInitListRecord record;
        record.type = static_cast<uint16_t>(code);
        record.address = address;
        record.value = value;
        records.push_back(record);
    }
    return records;
}

bool CTargetConnection::LoadInitList(uint32_t targetOptions, const CCodeList& list, COperationView* status)
{
    if (!CheckInitList(list, true, status, "Main init list"))
        return false;
    const std::vector<SInitListRecord> records = Records(list);
    const int code = library_.TargetLoadInitList(0, targetOptions, static_cast<int>(records.size()),
                                                 records.data());
    return ReportStatusIn(status, code, "Main init list");
}

int CTargetConnection::RunEntry(const SInitListRecord& entry, uint32_t offset)
{
    switch (entry.type) {
    case kInitDelay: {
        // In slices, so that a stop request does not wait out a long delay.
        constexpr uint32_t kSliceMs = 50;
        for (uint32_t left = entry.value; left > 0;) {
            if (cancelView_ && cancelView_->CancelRequested())
                return kStatusStopped;
            const uint32_t slice = left < kSliceMs ? left : kSliceMs;
            clock_.SleepMs(slice);
            left -= slice;
        }
        return kStatusOk;
    }
    case kInitWm8:
        return library_.TargetWrite8(entry.address + offset, entry.value);
    case kInitWm16:
        return library_.TargetWrite16(entry.address + offset, entry.value);
    case kInitWm32:
        return library_.TargetWrite32(entry.address + offset, entry.value);
    case kInitWgpr:
    case kInitWcpsr:
    case kInitWcp15: {
        SProbeRegisterId id;
        if (entry.type == kInitWgpr) {
            id = {kRegClassGeneral, static_cast<uint16_t>(entry.address)};
        } else if (entry.type == kInitWcpsr) {
            id = {kRegClassCpsr, 0};
        } else {
            // The CP15 register number is the entry's address field, as the
            // editor offers it and as the main list hands it to the probe.
            id = {kRegClassCp15, static_cast<uint16_t>(entry.address)};
        }
        const uint32_t value = entry.value;
        return library_.TargetWriteRegisters(1, &id, &value);
    }
    case kInitRm8: {
        uint8_t dropped = 0;
        return library_.TargetRead8(entry.address, dropped);
    }
    case kInitRm16: {
        uint16_t dropped = 0;
        return library_.TargetRead16(entry.address, dropped);
    }
    case kInitRm32: {
        uint32_t dropped = 0;
        return library_.TargetRead32(entry.address, dropped);
    }
    default: // NOP, MMAP, EXEC; LOOP is the walk's own business
        return kStatusOk;
    }
}

bool CTargetConnection::RunInitList(const CCodeList& list, COperationView* status, bool stoppable,
                                    const std::string& listName)
{
    const std::vector<SInitListRecord> records = Records(list);
    const int count = static_cast<int>(records.size());
    if (!CheckInitList(list, false, status, listName))
        return false;
    const SInitListRecord* failed = nullptr;
    uint32_t failedOffset = 0;
    cancelView_ = stoppable ? status : nullptr;
    const int code = CInitListWalker::Walk(records.data(), count, kMaxRunSteps,
                                 [this, &failed, &failedOffset](const SInitListRecord& entry,
                                                                              uint32_t offset) -> int {
                                     if (cancelView_ && cancelView_->CancelRequested())
                                         return kStatusStopped;
                                     const int result = RunEntry(entry, offset);
                                     if (result != kStatusOk) {
                                         failed = &entry;
                                         failedOffset = offset;
                                     }
                                     return result;
                                 });
    cancelView_ = nullptr;
    // A stop is no fault of the list: its text stands alone.
    std::string context = code == kStatusStopped ? std::string() : listName;
    if (failed != nullptr && code != kStatusStopped)
        context += EntryContext(list, records, failed, failedOffset);
    return ReportStatusIn(status, code, context);
}

bool CTargetConnection::CheckInitList(const CCodeList& list, bool onProbe, COperationView* status,
                                      const std::string& listName)
{
    const std::vector<SInitListRecord> records = Records(list);
    const int count = static_cast<int>(records.size());
    if (onProbe && records.size() > static_cast<size_t>(kMaxInitListEntries)) {
        if (status)
            status->SetStatus("Init list is to long!");
        return false;
    }
    // The list is walked once without running anything, as the host or the
    // probe would run it, so that a LOOP that goes back before the list's
    // start or never ends is refused, naming itself, before anything is sent.
    const SInitListRecord* last = nullptr;
    uint32_t lastOffset = 0;
    int code = CInitListWalker::Walk(records.data(), count, kMaxRunSteps,
                                     [&last, &lastOffset](const SInitListRecord& entry, uint32_t offset) {
                                         last = &entry;
                                         lastOffset = offset;
                                         return 0;
                                     });
    std::string context = listName;
    if (code != kStatusOk && last != nullptr)
        context += EntryContext(list, records, last, lastOffset);
    if (code == kStatusOk)
        code = CInitListWalker::CheckDelays(records.data(), count);
    return ReportStatusIn(status, code, context);
}

bool CTargetConnection::DisconnectTarget()
{
    library_.TargetDisconnect();
    library_.LinkClose();
    connected_ = false;
    return true;
}

bool CTargetConnection::ReportStatusIn(COperationView* status, int code, const std::string& context)
{
    if (code == kStatusOk)
        return true;
    if (status)
        status->SetStatus(context.empty() ? StatusText(code, 0) : context + ": " + StatusText(code, 0));
    return false;
}

std::string CTargetConnection::StatusText(int code, uint32_t address)
{
    switch (code) {
    case kStatusProgramFailedAt:
        if (address == 0)
            return "Programming target memory failed!";
        return Format("Programming target memory failed at address 0x%08lX.", static_cast<unsigned long>(address));
    case kStatusPageDataFailed:
        return "Loading page data failed.";
    case kStatusInvalidParameter:
        return "Invalid parameter.";
    case kStatusInvalidMode:
        return "Invalid write or erase mode.";
    case kStatusNoAlgorithmRam:
        return "RAM for algorithm code not present.";
    default:
        return library_.LinkErrorText(code);
    }
}

bool CTargetConnection::ReportStatus(COperationView* status, int code, uint32_t address)
{
    if (code == kStatusOk)
        return true;
    if (status)
        status->SetStatus(StatusText(code, address));
    return false;
}
