#include "catalogue/flash_catalogue.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

uint32_t SFlashDevice::SectorSize(uint32_t k) const
{
    return CFlashCatalogue::SectorSize(sectorTable, sectorCount, DeviceSizeBytes(), k);
}

int CFlashCatalogue::FlashDeviceCount()
{
    return static_cast<int>(Rows().size());
}

const SFlashDevice* CFlashCatalogue::FlashDeviceAt(int index)
{
    const auto rows = Rows();
    if (index < 0 || static_cast<std::size_t>(index) >= rows.size())
        return nullptr;
    return &rows[static_cast<std::size_t>(index)];
}

const SFlashDevice* CFlashCatalogue::FindFlashDevice(std::string_view name)
{
    // Row 0 ("NONE") is not a device: the search starts at row 1.
    for (const SFlashDevice& device : Rows().subspan(1))
        if (name == device.name)
            return &device;
    return nullptr;
}

int CFlashCatalogue::FlashDeviceIndex(const SFlashDevice* device)
{
    const auto rows = Rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (&rows[i] == device)
            return static_cast<int>(i);
    return -1;
}

bool CFlashCatalogue::GetFlashName(int index, std::string& name)
{
    const SFlashDevice* device = FlashDeviceAt(index);
    if (!device)
        return false;
    name = device->name;
    return true;
}

bool CFlashCatalogue::GetFlashInfo(std::string_view name, uint32_t& deviceWidth, uint32_t& sizeBytes,
                                   uint32_t& pageSize, uint32_t& programAlgorithm, uint32_t& eraseAlgorithm,
                                   uint32_t& sectorCount, const uint32_t*& sectorTable)
{
    const SFlashDevice* device = FindFlashDevice(name);
    if (!device)
        return false;
    deviceWidth = device->deviceWidth;
    sizeBytes = device->DeviceSizeBytes();
    pageSize = device->pageSize;
    programAlgorithm = device->programAlgorithm;
    eraseAlgorithm = device->eraseAlgorithm;
    sectorCount = device->sectorCount;
    sectorTable = device->sectorTable;
    return true;
}

namespace {

// One field of the device called `name` into `out`; `out` untouched when the
// name is not a device.
template <typename Field>
bool GetField(std::string_view name, uint32_t& out, Field field)
{
    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice(name);
    if (!device)
        return false;
    out = field(*device);
    return true;
}

} // namespace

bool CFlashCatalogue::GetFlashWidth(std::string_view name, uint32_t& deviceWidth)
{
    return GetField(name, deviceWidth, [](const SFlashDevice& d) { return d.deviceWidth; });
}

bool CFlashCatalogue::GetFlashSize(std::string_view name, uint32_t& sizeBytes)
{
    return GetField(name, sizeBytes, [](const SFlashDevice& d) { return d.DeviceSizeBytes(); });
}

bool CFlashCatalogue::GetFlashPageSize(std::string_view name, uint32_t& pageSize)
{
    return GetField(name, pageSize, [](const SFlashDevice& d) { return d.pageSize; });
}

bool CFlashCatalogue::GetFlashProgramAlgorithm(std::string_view name, uint32_t& code)
{
    return GetField(name, code, [](const SFlashDevice& d) { return d.programAlgorithm; });
}

bool CFlashCatalogue::GetFlashEraseAlgorithm(std::string_view name, uint32_t& code)
{
    return GetField(name, code, [](const SFlashDevice& d) { return d.eraseAlgorithm; });
}

bool CFlashCatalogue::GetFlashSectorCount(std::string_view name, uint32_t& sectorCount)
{
    return GetField(name, sectorCount, [](const SFlashDevice& d) { return d.sectorCount; });
}

bool CFlashCatalogue::IsFlashName(std::string_view name)
{
    return name == kNoDeviceName || FindFlashDevice(name) != nullptr;
}

uint32_t CFlashCatalogue::BusWidthBytes(int busWidth)
{
    return busWidth >= 0 && busWidth <= 2 ? 1u << busWidth : 0;
}

uint32_t CFlashCatalogue::Lanes(uint32_t busWidthBytes, uint32_t deviceWidth)
{
    return deviceWidth == 0 ? 0 : busWidthBytes / deviceWidth;
}

uint32_t CFlashCatalogue::BankSize(uint32_t busWidthBytes, uint32_t deviceWidth, uint32_t deviceSizeBytes)
{
    // Multiply before dividing, as everywhere: a device on a bus narrower than
    // itself still gives a nonzero size. At most 64 MiB x 4 for catalogue rows.
    if (deviceWidth == 0)
        return 0;
    return static_cast<uint32_t>(uint64_t{deviceSizeBytes} * busWidthBytes / deviceWidth);
}

uint64_t CFlashCatalogue::FlashArraySize(uint32_t busWidthBytes, uint32_t deviceWidth, uint32_t deviceSizeBytes,
                                         uint32_t bankCount)
{
    // In 64 bits: 16 banks of a 64 MiB x16 device on a 32-bit bus are 2 GiB,
    // while the product before the division would wrap to 0 in 32 bits.
    if (deviceWidth == 0)
        return 0;
    return uint64_t{busWidthBytes} * deviceSizeBytes * bankCount / deviceWidth;
}

uint32_t CFlashCatalogue::BusOffset(uint32_t sectorStart, uint32_t busWidthBytes, uint32_t deviceWidth)
{
    if (deviceWidth == 0)
        return 0;
    return static_cast<uint32_t>(uint64_t{sectorStart} * busWidthBytes / deviceWidth);
}

uint32_t CFlashCatalogue::SectorSize(const uint32_t* sectorTable, uint32_t sectorCount, uint32_t deviceSizeBytes,
                                     uint32_t k)
{
    if (sectorTable == nullptr || k >= sectorCount)
        return 0;
    const uint32_t end = k + 1 < sectorCount ? sectorTable[k + 1] : deviceSizeBytes;
    return end - sectorTable[k];
}

uint32_t CFlashCatalogue::Lanes(const SFlashDevice& device, uint32_t busWidthBytes)
{
    return Lanes(busWidthBytes, device.deviceWidth);
}

uint32_t CFlashCatalogue::BankSize(const SFlashDevice& device, uint32_t busWidthBytes)
{
    return BankSize(busWidthBytes, device.deviceWidth, device.DeviceSizeBytes());
}

uint64_t CFlashCatalogue::FlashArraySize(const SFlashDevice& device, uint32_t busWidthBytes, uint32_t bankCount)
{
    return FlashArraySize(busWidthBytes, device.deviceWidth, device.DeviceSizeBytes(), bankCount);
}

uint32_t CFlashCatalogue::SectorBusOffset(const SFlashDevice& device, uint32_t k, uint32_t busWidthBytes)
{
    if (k >= device.sectorCount)
        return 0;
    return BusOffset(device.sectorTable[k], busWidthBytes, device.deviceWidth);
}

std::string CFlashCatalogue::NormaliseName(std::string_view text)
{
    std::string folded;
    folded.reserve(text.size());
    bool pendingSpace = false;
    for (char c : text) {
        if (IsBlank(c)) {
            pendingSpace = !folded.empty();
            continue;
        }
        if (pendingSpace)
            folded += ' ';
        pendingSpace = false;
        folded += Lower(c);
    }
    return folded;
}

std::vector<const SFlashDevice*> CFlashCatalogue::FindFlashDevicesLoose(std::string_view text)
{
    const std::string wanted = NormaliseName(text);
    std::vector<const SFlashDevice*> found;
    for (const SFlashDevice& device : Rows().subspan(1))
        if (NormaliseName(device.name).find(wanted) != std::string::npos)
            found.push_back(&device);
    return found;
}

std::vector<const SFlashDevice*> CFlashCatalogue::FindFlashDevicesNormalised(std::string_view text)
{
    const std::string wanted = NormaliseName(text);
    std::vector<const SFlashDevice*> found;
    if (wanted.empty())
        return found;
    for (const SFlashDevice& device : Rows().subspan(1))
        if (NormaliseName(device.name) == wanted)
            found.push_back(&device);
    return found;
}
