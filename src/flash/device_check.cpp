#include "flash/device_check.h"

#include "catalogue/flash_catalogue.h"
#include "common/message_box.h"
#include "common/text_format.h"
#include "probe/probe_library.h"

namespace {

enum class ECommandFamily { Jedec, Intel, Other };

ECommandFamily FamilyOfCommandSet(uint16_t commandSet)
{
    switch (commandSet) {
    case 0x0002: // AMD/Fujitsu standard
    case 0x0004: // AMD/Fujitsu extended
        return ECommandFamily::Jedec;
    case 0x0001: // Intel/Sharp extended
    case 0x0003: // Intel standard
    case 0x0200: // Intel performance code
        return ECommandFamily::Intel;
    default:
        return ECommandFamily::Other;
    }
}

ECommandFamily FamilyOfDevice(const SFlashDevice& device)
{
    switch (CFlashAlgorithms::Find(device.eraseAlgorithm).eraseFamily) {
    case EEraseFamily::JedecX8:
    case EEraseFamily::JedecByteWord:
    case EEraseFamily::JedecX16X32:
        return ECommandFamily::Jedec;
    case EEraseFamily::IntelBlock:
        return ECommandFamily::Intel;
    default:
        return ECommandFamily::Other;
    }
}

std::string FamilyName(ECommandFamily family, uint16_t commandSet)
{
    switch (family) {
    case ECommandFamily::Jedec:
        return "JEDEC command set";
    case ECommandFamily::Intel:
        return "Intel command set";
    case ECommandFamily::Other:
        break;
    }
    return Format("command set 0x%04X", commandSet);
}

std::string Bytes(uint64_t size)
{
    if (size % 1024 == 0)
        return Format("%llu KiB", static_cast<unsigned long long>(size / 1024));
    return Format("%llu bytes", static_cast<unsigned long long>(size));
}

std::vector<uint32_t> DeviceStarts(const SFlashDevice& device)
{
    return {device.Sectors().begin(), device.Sectors().end()};
}

// "bottom boot", "top boot" or nothing, from the first and last sector sizes.
std::string Boot(const std::vector<uint32_t>& starts, uint32_t size)
{
    if (starts.size() < 2)
        return {};
    const uint32_t first = starts[1] - starts[0];
    const uint32_t last = size - starts.back();
    return first < last ? " (bottom boot)" : first > last ? " (top boot)" : "";
}

std::string Describe(ECommandFamily family, uint16_t commandSet, uint32_t devices, uint32_t width, uint32_t size,
                     const std::vector<uint32_t>& starts)
{
    return Format("%s, %u device%s of %u bits, %s each, %zu sectors: ", FamilyName(family, commandSet).c_str(),
                  devices, devices == 1 ? "" : "s", width * 8, Bytes(size).c_str(), starts.size()) +
           CDeviceCheck::Layout(starts, size) + Boot(starts, size);
}

std::string RowList(const std::vector<const SFlashDevice*>& rows)
{
    std::string text;
    for (const SFlashDevice* row : rows)
        text += (text.empty() ? "\"" : ", \"") + std::string(row->name) + "\"";
    return text;
}

} // namespace

std::string CDeviceCheck::Layout(const std::vector<uint32_t>& starts, uint32_t size)
{
    std::string text;
    size_t i = 0;
    while (i < starts.size()) {
        const auto sizeOf = [&](size_t k) { return (k + 1 < starts.size() ? starts[k + 1] : size) - starts[k]; };
        const uint32_t s = sizeOf(i);
        size_t j = i + 1;
        while (j < starts.size() && sizeOf(j) == s)
            ++j;
        text += (text.empty() ? "" : ", ") + Format("%zu x ", j - i) + Bytes(s);
        i = j;
    }
    return text;
}

std::string CDeviceCheck::Describe(const SFlashIdentity& id)
{
    return ::Describe(FamilyOfCommandSet(id.commandSet), id.commandSet, id.devices, id.deviceWidth, id.deviceSize,
                      id.SectorStarts());
}

std::string CDeviceCheck::Describe(const SFlashDevice& device, uint32_t busWidthBytes)
{
    const uint32_t lanes = CFlashCatalogue::Lanes(device, busWidthBytes);
    return ::Describe(FamilyOfDevice(device), 0, lanes, device.deviceWidth, device.DeviceSizeBytes(),
                      DeviceStarts(device));
}

std::string CDeviceCheck::DescribeCodes(const SFlashIdentity& id)
{
    std::string text = id.codesRead ? Format("manufacturer 0x%02X, device 0x%0*X", id.manufacturer,
                                             int(2 * (id.cfi ? id.deviceWidth : 1)), id.device)
                                    : std::string("no manufacturer and device codes");
    if (id.cfi)
        text += Format("; CFI: command set 0x%04X, interface 0x%04X, %u erase block region%s", id.commandSet,
                       id.interface, unsigned(id.regions.size()), id.regions.size() == 1 ? "" : "s");
    else
        text += "; no answer to the CFI query";
    return text;
}

std::vector<const SFlashDevice*> CDeviceCheck::Fits(const SFlashIdentity& id, uint32_t busWidthBytes)
{
    std::vector<const SFlashDevice*> rows;
    if (!id.Usable() || id.devices == 0)
        return rows;
    const ECommandFamily family = FamilyOfCommandSet(id.commandSet);
    const std::vector<uint32_t> starts = id.SectorStarts();
    for (int i = 1; i < CFlashCatalogue::FlashDeviceCount(); ++i) {
        const SFlashDevice* row = CFlashCatalogue::FlashDeviceAt(i);
        if (row->deviceWidth * id.devices != busWidthBytes || row->DeviceSizeBytes() != id.deviceSize ||
            FamilyOfDevice(*row) != family || family == ECommandFamily::Other)
            continue;
        std::string why;
        if (CFlashIdentify::Supported(*row, why) && DeviceStarts(*row) == starts)
            rows.push_back(row);
    }
    return rows;
}

SDeviceCheckResult CDeviceCheck::Compare(const SFlashArray& array, const std::vector<SFlashIdentity>& banks)
{
    SDeviceCheckResult result;
    result.banks = banks;
    const SFlashDevice& device = *array.device;
    const uint32_t lanes = CFlashCatalogue::Lanes(device, array.busWidthBytes);
    const std::vector<uint32_t> starts = DeviceStarts(device);
    bool unanswered = false;
    for (const SFlashIdentity& id : banks) {
        if (!id.backInReadMode) {
            result.outcome = SDeviceCheckResult::EOutcome::NotReadMode;
            result.summary = Format("Device check: the flash of bank %u did not read its array again after the "
                                    "identity reads.",
                                    id.bank);
            return result;
        }
        if (!id.cfi || id.garbled) {
            unanswered = true;
            continue;
        }
        std::vector<std::string> differs;
        if (!id.lanesAgree)
            differs.push_back("the devices side by side answer differently");
        if (FamilyOfCommandSet(id.commandSet) != FamilyOfDevice(device))
            differs.push_back("the command set");
        if (id.devices != lanes)
            differs.push_back("the number of devices on the bus");
        if (id.deviceSize != device.DeviceSizeBytes())
            differs.push_back("the size of a device");
        if (id.SectorStarts() != starts)
            differs.push_back("the sector layout");
        if (differs.empty())
            continue;
        result.outcome = SDeviceCheckResult::EOutcome::Mismatch;
        result.found = Format("Found at bank %u (0x%08X): ", id.bank, id.bankStart) + Describe(id) + ".";
        result.expected = Format("The project expects \"%s\": ", device.name) + Describe(device, array.busWidthBytes) +
                          ".";
        std::string list;
        for (const std::string& d : differs)
            list += (list.empty() ? "" : ", ") + d;
        result.differences = "They differ in " + list + ".";
        result.fits = Fits(id, array.busWidthBytes);
        result.summary = Format("Device check: the flash does not match \"%s\" (%s).", device.name, list.c_str());
        return result;
    }
    if (unanswered) {
        result.outcome = SDeviceCheckResult::EOutcome::NotChecked;
        result.summary = "Device check: not checked (the flash did not answer the CFI query).";
        return result;
    }
    result.outcome = SDeviceCheckResult::EOutcome::Match;
    result.summary = Format("Device check: the flash matches \"%s\".", device.name);
    return result;
}

SDeviceCheckResult CDeviceCheck::Run(CProbeLibrary& library, const SFlashArray& array)
{
    SDeviceCheckResult result;
    std::string why;
    if (!array.device || !CFlashIdentify::Supported(*array.device, why)) {
        result.outcome = SDeviceCheckResult::EOutcome::Skipped;
        result.summary = "Device check: not checked (" + (why.empty() ? std::string("no device") : why) + ").";
        return result;
    }
    std::vector<SFlashIdentity> banks;
    int status = 0;
    switch (CFlashIdentify::Read(library, array, banks, status)) {
    case CFlashIdentify::EOutcome::Read:
        return Compare(array, banks);
    case CFlashIdentify::EOutcome::Unsupported:
        result.outcome = SDeviceCheckResult::EOutcome::Skipped;
        result.summary = "Device check: not checked (the bus width does not fit the device).";
        return result;
    case CFlashIdentify::EOutcome::LibraryError:
        break;
    }
    result.outcome = SDeviceCheckResult::EOutcome::LibraryError;
    result.status = status;
    result.summary = "Device check: reading the flash's identity failed: " + library.LinkErrorText(status);
    return result;
}

std::string SDeviceCheckResult::Message() const
{
    if (outcome != EOutcome::Mismatch)
        return summary;
    std::string text = "The flash on the board does not match the project's device.\n\n" + found + "\n" + expected +
                       "\n" + differences + "\n\n";
    text += fits.empty() ? std::string("No catalogue row fits what the flash reports.")
                         : "Catalogue rows that fit: " + RowList(fits) + ".";
    return text;
}

bool CDeviceCheck::Confirm(const SDeviceCheckResult& result, EDeviceCheck mode, CMessageBox& box)
{
    if (result.Passes())
        return true;
    if (mode == EDeviceCheck::Ask && result.outcome == SDeviceCheckResult::EOutcome::Mismatch)
        return box.Show(result.Message() + "\n\nErase and program this flash anyway?", "Warning",
                        EMsgIcon::Exclamation, EMsgButtons::YesNoDefaultNo) == EMsgResult::Yes;
    box.Show(result.Message() + "\n\nNothing was erased or programmed.", "Error", EMsgIcon::Stop, EMsgButtons::Ok);
    return false;
}
