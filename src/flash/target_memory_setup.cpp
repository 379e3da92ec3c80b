#include "flash/target_memory_setup.h"

#include "common/message_box.h"
#include "common/text_format.h"
#include "project/qpg_doc.h"
#include "project/safe_file_writer.h"
#include "catalogue/flash_catalogue.h"

#include <cctype>

namespace {

// What a program algorithm code does to the bus width, base and banks controls.
// The framework's reading of an unsigned integer field: optional blanks
// around decimal digits, nothing else, at most 32 bits.
bool ParseUnsigned(const std::string& text, uint32_t& value)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    uint64_t v = 0;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        v = v * 10 + static_cast<uint64_t>(text[i] - '0');
        if (v > 0xFFFFFFFFull)
            return false;
        ++digits;
        ++i;
    }
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (digits == 0 || i != text.size())
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string RowName(int row)
{
    std::string name;
    if (!CFlashCatalogue::GetFlashName(row, name))
        name = CFlashCatalogue::kNoDeviceName;
    return name;
}

} // namespace

CTargetMemorySetup::SRecord CTargetMemorySetup::RecordOf(const CQpgDoc& doc)
{
    SRecord r;
    r.memoryType = doc.memoryType;
    r.busWidth = doc.busWidth;
    r.bankCount = doc.bankCount;
    r.baseAddress = doc.physicalRange.GetStart();
    r.workspace = doc.workspace;
    r.useTargetAlgorithm = doc.useTargetAlgorithm;
    r.targetOptions = doc.targetOptions;
    return r;
}

int CTargetMemorySetup::ListEntryFor(const std::string& memoryType)
{
    const std::string wanted = Lower(memoryType);
    std::string name;
    for (int row = 0; CFlashCatalogue::GetFlashName(row, name); ++row) {
        if (Lower(name).compare(0, wanted.size(), wanted) == 0)
            return row;
    }
    return 0;
}

bool CTargetMemorySetup::Open(const std::string& deviceListFile)
{
    ShowRecord();
    bool written = true;
    if (!deviceListFile.empty()) {
        std::string list;
        std::string name;
        for (int row = 0; CFlashCatalogue::GetFlashName(row, name); ++row)
            list.append(name).push_back('\n');
        std::string error;
        CSafeFileWriter writer;
        written = writer.Write(deviceListFile,
                               {reinterpret_cast<const uint8_t*>(list.data()), list.size()}, error);
    }
    UpdateControls();
    return written;
}

void CTargetMemorySetup::ShowRecord()
{
    banksText = std::to_string(record_.bankCount);
    targetAlgorithmChecked = record_.useTargetAlgorithm;
    const int clock = static_cast<int>(record_.targetOptions & 0xFF);
    const int cpu = static_cast<int>((record_.targetOptions >> 8) & 0xFF);
    clockIndex = clock < kJtagClockCount ? clock : -1;
    cpuIndex = cpu < kCpuTypeCount ? cpu : -1;
    bigEndianChecked = ((record_.targetOptions >> 16) & 0xFF) != 0;
    baseField.SetValue(record_.baseAddress);
    workspaceField.SetValue(record_.workspace);
    memoryIndex = ListEntryFor(record_.memoryType);
}

uint32_t CTargetMemorySetup::ProgramAlgorithm() const
{
    uint32_t code = 0;
    if (!CFlashCatalogue::GetFlashProgramAlgorithm(record_.memoryType, code))
        code = 0;
    return code;
}

void CTargetMemorySetup::UpdateControls()
{
    const uint32_t code = ProgramAlgorithm();
    const SBusRule& rule = CFlashAlgorithms::Find(code).busRule;
    enabled.option = false;
    enabled.baseAddress = rule.baseEnabled;
    enabled.banks = rule.banksEnabled;
    if (rule.busWidth >= 0) {
        record_.busWidth = rule.busWidth;
        enabled.bus8 = enabled.bus16 = enabled.bus32 = false;
    } else {
        enabled.bus32 = true;
        uint32_t width = 0;
        if (!CFlashCatalogue::GetFlashWidth(record_.memoryType, width))
            width = 0;
        if (width == 4) {
            record_.busWidth = 2;
            enabled.bus8 = enabled.bus16 = false;
        } else if (width == 2) {
            if (record_.busWidth == 0)
                record_.busWidth = 1;
            enabled.bus8 = false;
            enabled.bus16 = true;
        } else {
            enabled.bus8 = enabled.bus16 = true;
        }
    }
    // A device whose banks cannot be set is one flash array: one bank, not
    // a count left from an earlier device that nobody could change.
    if (rule.banksToOne || !rule.banksEnabled) {
        record_.bankCount = 1;
        banksText = std::to_string(record_.bankCount);
    }
    if (rule.baseToZero) {
        record_.baseAddress = 0;
        baseField.SetValue(0);
    }

    switch (CFlashAlgorithms::Find(code).targetAlgorithm) {
    case ETargetAlgorithm::Required:
        enabled.targetAlgorithm = false;
        targetAlgorithmChecked = record_.useTargetAlgorithm = true;
        enabled.workspace = true;
        break;
    case ETargetAlgorithm::Optional:
        enabled.targetAlgorithm = true;
        enabled.workspace = targetAlgorithmChecked;
        break;
    case ETargetAlgorithm::Unavailable:
        enabled.targetAlgorithm = false;
        targetAlgorithmChecked = record_.useTargetAlgorithm = false;
        enabled.workspace = false;
        break;
    }
}

uint64_t CTargetMemorySetup::FlashArraySize(const std::string& memoryType) const
{
    uint32_t width = 0;
    uint32_t size = 0;
    if (!CFlashCatalogue::GetFlashWidth(memoryType, width) || !CFlashCatalogue::GetFlashSize(memoryType, size))
        return 0;
    const uint32_t banks = record_.bankCount < 0 ? 0u : static_cast<uint32_t>(record_.bankCount);
    return CFlashCatalogue::FlashArraySize(CFlashCatalogue::BusWidthBytes(record_.busWidth), width, size, banks);
}

bool CTargetMemorySetup::CheckArray(const std::string& memoryType, uint32_t base, CMessageBox& box) const
{
    uint32_t width = 0;
    uint32_t size = 0;
    if (!CFlashCatalogue::GetFlashWidth(memoryType, width) || !CFlashCatalogue::GetFlashSize(memoryType, size))
        return true; // an unknown type ("NONE") has no array to place
    const uint64_t array = FlashArraySize(memoryType);
    const char* error = nullptr;
    if (array == 0)
        error = "Code size is 0 !";
    // An array of 4 GiB could end exactly at 0xFFFFFFFF, but no memory range
    // can hold its size: it is refused with the others that do not fit.
    else if (uint64_t{base} + array - 1 > 0xFFFFFFFFull || array > 0xFFFFFFFFull)
        error = "Out of maximum memory address !\n (Endaddress > 0xFFFFFFFF)";
    if (error) {
        box.Show(error, "Invalid Input", EMsgIcon::Exclamation, EMsgButtons::Ok);
        return false;
    }
    return true;
}

bool CTargetMemorySetup::ReadControls(CMessageBox& box)
{
    // 1. Number of banks, the check box, clock, CPU type, byte order.
    uint32_t banks = 0;
    if (!ParseUnsigned(banksText, banks)) {
        box.Show("Please enter a positive integer.", "", EMsgIcon::Exclamation, EMsgButtons::Ok);
        return false;
    }
    if (banks < static_cast<uint32_t>(kMinBanks) || banks > static_cast<uint32_t>(kMaxBanks)) {
        box.Show(Format("Please enter an integer between %d and %d.", kMinBanks, kMaxBanks), "",
                 EMsgIcon::Exclamation, EMsgButtons::Ok);
        return false;
    }
    record_.bankCount = static_cast<int>(banks);
    record_.useTargetAlgorithm = targetAlgorithmChecked;
    // A code that is not in its list (a damaged project) stays as it was.
    const uint32_t clock = clockIndex >= 0 ? static_cast<uint32_t>(clockIndex) : record_.targetOptions & 0xFF;
    const uint32_t cpu = cpuIndex >= 0 ? static_cast<uint32_t>(cpuIndex) : (record_.targetOptions >> 8) & 0xFF;
    record_.targetOptions = clock | cpu << 8 | (bigEndianChecked ? 0x10000u : 0u);

    // 2. The flash array of the selected type must fit the address space.
    const std::string selected = RowName(memoryIndex);
    if (!CheckArray(selected, baseField.Value(), box))
        return false;

    // 3. Addresses and the memory type.
    record_.baseAddress = baseField.Value();
    record_.workspace = workspaceField.Value();
    record_.memoryType = selected;
    return true;
}

void CTargetMemorySetup::SelectBusWidth(int busWidth)
{
    const bool allowed = (busWidth == 0 && enabled.bus8) || (busWidth == 1 && enabled.bus16)
                         || (busWidth == 2 && enabled.bus32);
    if (!allowed)
        return;
    record_.busWidth = busWidth;
    UpdateControls();
}

namespace {

// Passes a box on with a closing sentence added to its text.
class CAddendumBox final : public CMessageBox {
public:
    CAddendumBox(CMessageBox& box, std::string addendum) : box_(box), addendum_(std::move(addendum)) {}
    EMsgResult Show(const std::string& text, const std::string& caption, EMsgIcon icon,
                    EMsgButtons buttons) override
    {
        std::string whole = text;
        whole.append(addendum_);
        return box_.Show(whole, caption, icon, buttons);
    }

private:
    CMessageBox& box_;
    std::string addendum_;
};

} // namespace

bool CTargetMemorySetup::ChooseMemoryType(int row, CMessageBox& box)
{
    if (row < 0 || row >= CFlashCatalogue::FlashDeviceCount() || !enabled.memoryType)
        return false;
    const std::string previous = record_.memoryType;
    const std::string chosen = RowName(row);
    memoryIndex = row;
    // The array of a device with its banks disabled is read with one bank.
    uint32_t code = 0;
    if (CFlashCatalogue::GetFlashProgramAlgorithm(chosen, code)) {
        const SBusRule& rule = CFlashAlgorithms::Find(code).busRule;
        if (rule.banksToOne || !rule.banksEnabled)
            banksText = std::to_string(1);
    }
    CAddendumBox undone(box, Format("\n\n\"%s\" was not taken: the memory type stays \"%s\".", chosen.c_str(),
                                    previous.c_str()));
    const bool taken = ReadControls(undone); // a failure has spoken; the previous type stays
    UpdateControls();
    ShowRecord();
    return taken;
}

void CTargetMemorySetup::RemindOfClock(CMessageBox& box, const std::function<void()>& beep) const
{
    if (!CFlashAlgorithms::Find(ProgramAlgorithm()).clockReminder)
        return;
    if (beep)
        beep();
    box.Show("Don't forget to setup CFMCLKD via an init list entry !", "", EMsgIcon::Information, EMsgButtons::Ok);
}

void CTargetMemorySetup::SelectMemoryType(int row, CMessageBox& box, const std::function<void()>& beep)
{
    if (row < 0 || row >= CFlashCatalogue::FlashDeviceCount() || !enabled.memoryType)
        return;
    (void)ChooseMemoryType(row, box);
    RemindOfClock(box, beep);
}

void CTargetMemorySetup::SetTargetAlgorithm(bool checked, CMessageBox& box)
{
    if (!enabled.targetAlgorithm)
        return;
    targetAlgorithmChecked = checked;
    (void)ReadControls(box);
    UpdateControls();
}

bool CTargetMemorySetup::Confirm(CMessageBox& box)
{
    if (!ReadControls(box))
        return false;

    // The RAM the probe's algorithm needs in the workspace.
    const uint32_t code = ProgramAlgorithm();
    uint64_t workspaceSize = 0;
    if (CFlashAlgorithms::Find(code).pageWorkspace) {
        uint32_t width = 0;
        uint32_t page = 0;
        if (CFlashCatalogue::GetFlashWidth(record_.memoryType, width) && width != 0
            && CFlashCatalogue::GetFlashPageSize(record_.memoryType, page))
            workspaceSize = uint64_t{CFlashCatalogue::BusWidthBytes(record_.busWidth)} * page / width;
        workspaceSize += 512;
    } else if (record_.useTargetAlgorithm) {
        workspaceSize = 2048;
    }
    if (workspaceSize != 0) {
        // Both ends in 64 bits, so that a range reaching the top of the
        // address space cannot wrap around and slip past the check.
        const uint64_t array = FlashArraySize(record_.memoryType);
        const uint64_t base = record_.baseAddress;
        const uint64_t ws = record_.workspace;
        if (array != 0 && ws < base + array && base < ws + workspaceSize) {
            box.Show("Current flash array overlaps with QDX workspace.\nPlease select another QDX workspace.",
                     "Error", EMsgIcon::Stop, EMsgButtons::Ok);
            return false;
        }
    }
    return ReadControls(box);
}

void CTargetMemorySetup::ApplyTo(CQpgDoc& doc) const
{
    doc.bankCount = record_.bankCount;
    doc.memoryType = record_.memoryType;
    doc.busWidth = record_.busWidth;
    doc.physicalRange.SetStart(record_.baseAddress);
    doc.image.SetBase(record_.baseAddress);
    doc.useTargetAlgorithm = record_.useTargetAlgorithm;
    doc.workspace = record_.workspace;
    doc.targetOptions = record_.targetOptions;
    doc.SetModifiedFlag();

    uint32_t width = 0, size = 0, page = 0, program = 0, erase = 0, sectors = 0;
    const uint32_t* table = nullptr;
    if (!CFlashCatalogue::GetFlashInfo(record_.memoryType, width, size, page, program, erase, sectors, table))
        return;
    const uint64_t array = FlashArraySize(record_.memoryType);
    doc.physicalRange.SetSize(array > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(array));
    doc.eraseMap.Resize(record_.bankCount, static_cast<int>(sectors));
}
