#include "project/qpg_doc.h"

#include "common/message_box.h"
#include "common/operation_view.h"
#include "common/text_format.h"
#include "common/channel_text.h"
#include "project/archive.h"
#include "catalogue/flash_catalogue.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CQpgDoc::CQpgDoc(bool openImage)
{
    if (openImage)
        imageOpenResult_ = image.Open(0);
    channelText_ = ChannelTextFor(channelText_, targetChannel, targetBaud, probeAddress);
}

// ---- Lifecycle --------------------------------------------------------------

void CQpgDoc::Reset()
{
    static_cast<SQpgDocFields&>(*this) = SQpgDocFields();
    openingForAutoload = false;
    image.SetBase(physicalRange.GetStart());
    image.Clear();
    channelText_ = ChannelTextFor(channelText_, targetChannel, targetBaud, probeAddress);
}

void CQpgDoc::NewDocument()
{
    Reset();
    pathName_.clear();
    modified_ = false;
    autoloadResult_ = -1;
}

void CQpgDoc::Serialize(CArchive& ar)
{
    uint16_t formatWord = 1; // written as 1, skipped unchecked on reading
    ar.Exchange16(formatWord);
    ar.Exchange16(targetBaud);
    ar.Exchange16(targetChannel);
    ar.Exchange16(loaderBaud);
    ar.Exchange16(loaderChannel);
    ar.ExchangeString(probeAddress);
    ar.ExchangeString(subnetMask);
    ar.ExchangeString(gateway);
    ar.ExchangeString(storeFileName);
    ar.Exchange32(fillPattern);
    ar.Exchange16(fillUnit);
    ar.Exchange16(checksumType);
    ar.Exchange16(checksumDestType);
    ar.Exchange32(checksumDest);
    ar.Exchange8(autoload);
    ar.Exchange32(loadOffset);
    ar.ExchangeString(loadFileName);
    ar.Exchange16(bankCount);
    ar.Exchange16(busWidth);
    ar.ExchangeString(memoryType);
    ar.Exchange32(workspace);
    ar.Exchange8(useTargetAlgorithm);
    ar.Exchange32(targetOptions);
    ar.ExchangeString(headerLeft);
    ar.ExchangeString(headerRight);
    ar.ExchangeString(setupTitle);
    ar.ExchangeString(comment);
    ar.Exchange16(editUnit);
    ar.Exchange32(editAddress);
    // The embedded objects check the archive's state themselves and leave
    // their content alone once it has failed.
    eraseMap.Serialize(ar);
    physicalRange.Serialize(ar);
    storeRange.Serialize(ar);
    fillRange.Serialize(ar);
    checksumRange.Serialize(ar);
    mainList.Serialize(ar);
    preProgramList.Serialize(ar);
    postProgramList.Serialize(ar);
    preEraseList.Serialize(ar);
    postEraseList.Serialize(ar);
    programRange.Serialize(ar);
    verifyRange.Serialize(ar);
    dumpRange.Serialize(ar);
}

void CQpgDoc::AfterRead()
{
    image.SetBase(physicalRange.GetStart());
    if (!CFlashCatalogue::IsFlashName(memoryType))
        memoryType = CFlashCatalogue::kNoDeviceName;
    channelText_ = ChannelTextFor(channelText_, targetChannel, targetBaud, probeAddress);
}

std::vector<uint8_t> CQpgDoc::SaveToBytes()
{
    CArchive ar;
    Serialize(ar);
    return ar.TakeBuffer();
}

bool CQpgDoc::ReadFromBytes(std::span<const uint8_t> data, std::string& error)
{
    Reset();
    CArchive ar(data);
    Serialize(ar);
    if (!ar.Ok()) {
        error = ar.GetErrorText();
        Reset();
        return false;
    }
    AfterRead();
    return true;
}

namespace {

// The whole file, refusing anything bigger than a project file can be.
bool ReadWholeFile(const std::string& path, size_t limit, std::vector<uint8_t>& out, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "not a regular file";
        ::close(fd);
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) > limit) {
        error = Format("%llu bytes, more than a project file can hold", static_cast<unsigned long long>(st.st_size));
        ::close(fd);
        return false;
    }
    out.clear();
    out.reserve(static_cast<size_t>(st.st_size));
    uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<size_t>(n) > limit) {
            error = "the file grew while it was read";
            ::close(fd);
            return false;
        }
        out.insert(out.end(), buffer, buffer + n);
    }
    ::close(fd);
    return true;
}

} // namespace

bool CQpgDoc::Open(const std::string& path, COperationView& view, CMessageBox& box)
{
    autoloadResult_ = -1;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(path, kMaxFileSize, bytes, error)) {
        // Nothing was read: the document stays as it was, unsaved work included.
        box.Show(Format("Failed to open document.\n%s: %s", path.c_str(), error.c_str()), "File-Error",
                 EMsgIcon::Stop, EMsgButtons::Ok);
        return false;
    }
    if (!ReadFromBytes(bytes, error)) {
        pathName_.clear();
        modified_ = false;
        box.Show(Format("Unexpected file format.\n%s: %s", path.c_str(), error.c_str()), "File-Error",
                 EMsgIcon::Stop, EMsgButtons::Ok);
        return false;
    }
    pathName_ = path;
    modified_ = false;
    if (autoload) {
        openingForAutoload = true;
        if (autoloadHandler)
            autoloadResult_ = autoloadHandler(*this, view, box);
        openingForAutoload = false;
    }
    return true;
}

bool CQpgDoc::Save(const std::string& path, CMessageBox& box, CSafeFileWriter::COps& ops)
{
    const std::vector<uint8_t> bytes = SaveToBytes();
    std::string error;
    CSafeFileWriter writer(ops);
    if (!writer.Write(path, bytes, error)) {
        box.Show(Format("Failed to save document.\n%s", error.c_str()), "File-Error", EMsgIcon::Stop,
                 EMsgButtons::Ok);
        return false;
    }
    pathName_ = path;
    modified_ = false;
    return true;
}

// ---- Rules the commands share -----------------------------------------------

bool CQpgDoc::Inside(const CMemoryRange& range) const
{
    // In 64 bits: an empty physical range holds nothing, and no end wraps.
    return range.GetSize() != 0 && physicalRange.GetSize() != 0 && range.GetStart() >= physicalRange.GetStart()
           && uint64_t{range.GetStart()} + range.GetSize()
                  <= uint64_t{physicalRange.GetStart()} + physicalRange.GetSize();
}

CMemoryRange CQpgDoc::PrepareRange(const CMemoryRange& range, const CMemoryRange& fallback) const
{
    if (Inside(range))
        return range;
    if (Inside(fallback))
        return fallback;
    return physicalRange;
}

uint32_t CQpgDoc::BusWidthBytes() const
{
    const uint32_t bytes = CFlashCatalogue::BusWidthBytes(busWidth);
    return bytes == 0 ? 1 : bytes;
}

CMemoryRange CQpgDoc::StoreStartRange() const
{
    return PrepareRange(storeRange, image.GetUsedRange(1));
}

CMemoryRange CQpgDoc::FillStartRange() const
{
    return PrepareRange(fillRange, physicalRange);
}

CMemoryRange CQpgDoc::ChecksumStartRange() const
{
    return PrepareRange(checksumRange, image.GetUsedRange(1));
}

CMemoryRange CQpgDoc::DumpStartRange() const
{
    return PrepareRange(dumpRange, physicalRange);
}

CMemoryRange CQpgDoc::ProgramStartRange() const
{
    return PrepareRange(programRange, image.GetUsedRange(BusWidthBytes()));
}

CMemoryRange CQpgDoc::VerifyStartRange() const
{
    return PrepareRange(verifyRange, image.GetUsedRange(BusWidthBytes()));
}

bool CQpgDoc::IsCommandEnabled(ECommand command) const
{
    const bool device = memoryType != CFlashCatalogue::kNoDeviceName;
    switch (command) {
    case ECommand::Checksum:
    case ECommand::Clear:
    case ECommand::Dump:
    case ECommand::Edit:
    case ECommand::Fill:
    case ECommand::Load:
    case ECommand::Store:
    case ECommand::Program:
    case ECommand::Verify:
        return device;
    case ECommand::Erase: {
        // The same test the report makes before it lists sectors.
        uint32_t eraseAlgorithm = 0;
        return device && CFlashCatalogue::GetFlashEraseAlgorithm(memoryType, eraseAlgorithm) && eraseAlgorithm != 0;
    }
    default:
        return true;
    }
}

// ---- Store back ---------------------------------------------------------------

bool CQpgDoc::StoreBackLoad(const std::string& fileName, uint32_t offset, bool autoloadOption)
{
    if (loadFileName == fileName && loadOffset == offset && autoload == autoloadOption)
        return false;
    loadFileName = fileName;
    loadOffset = offset;
    autoload = autoloadOption;
    modified_ = true;
    return true;
}

bool CQpgDoc::StoreBackStore(const CMemoryRange& range, const std::string& fileName)
{
    if (storeRange == range && storeFileName == fileName)
        return false;
    storeRange = range;
    storeFileName = fileName;
    modified_ = true;
    return true;
}

bool CQpgDoc::StoreBackFill(const CMemoryRange& range, uint32_t pattern, int unit)
{
    if (fillRange == range && fillPattern == pattern && fillUnit == unit)
        return false;
    fillRange = range;
    fillPattern = pattern;
    fillUnit = unit;
    modified_ = true;
    return true;
}

bool CQpgDoc::StoreBackChecksum(const CMemoryRange& range, uint32_t dest, int type, int destType)
{
    if (checksumRange == range && checksumDest == dest && checksumType == type && checksumDestType == destType)
        return false;
    checksumRange = range;
    checksumDest = dest;
    checksumType = type;
    checksumDestType = destType;
    modified_ = true;
    return true;
}

bool CQpgDoc::StoreBackEdit(int unit, uint32_t address)
{
    if (editUnit == unit && editAddress == address)
        return false;
    editUnit = unit;
    editAddress = address;
    modified_ = true;
    return true;
}

bool CQpgDoc::StoreBackCommunication(bool accepted, int channel, int baud, const std::string& address)
{
    bool changed = false;
    if (accepted && (targetChannel != channel || targetBaud != baud || probeAddress != address)) {
        targetChannel = channel;
        targetBaud = baud;
        probeAddress = address;
        modified_ = true;
        changed = true;
    }
    channelText_ = ChannelTextFor(channelText_, targetChannel, targetBaud, probeAddress);
    return changed;
}

bool CQpgDoc::StoreBackFirmware(bool accepted, int channel, int baud, const std::string& address,
                                const std::string& mask, const std::string& gatewayAddress)
{
    bool changed = false;
    if (accepted && (loaderChannel != channel || loaderBaud != baud || probeAddress != address
                     || subnetMask != mask || gateway != gatewayAddress)) {
        loaderChannel = channel;
        loaderBaud = baud;
        probeAddress = address;
        subnetMask = mask;
        gateway = gatewayAddress;
        modified_ = true;
        changed = true;
    }
    channelText_ = ChannelTextFor(channelText_, targetChannel, targetBaud, probeAddress);
    return changed;
}

void CQpgDoc::StoreBackPrintComment(const std::string& left, const std::string& right, const std::string& title,
                                    const std::string& commentText)
{
    headerLeft = left;
    headerRight = right;
    setupTitle = title;
    comment = commentText;
    modified_ = true;
}

bool CQpgDoc::StoreBackErase()
{
    if (!eraseMap.IsModified())
        return false;
    eraseMap.ClearModified();
    modified_ = true;
    return true;
}

bool CQpgDoc::StoreBackInitList(EInitList which, const CCodeList& list)
{
    return StoreBackValue(InitList(which), list);
}

bool CQpgDoc::ClearImage(CMessageBox& box)
{
    if (box.Show("Are you sure to clear the entire memory image?", "", EMsgIcon::Question, EMsgButtons::YesNo)
        != EMsgResult::Yes)
        return false;
    image.Clear();
    return true;
}

CCodeList& CQpgDoc::InitList(EInitList which)
{
    switch (which) {
    case PreEraseList:
        return preEraseList;
    case PostEraseList:
        return postEraseList;
    case PreProgramList:
        return preProgramList;
    case PostProgramList:
        return postProgramList;
    default:
        return mainList;
    }
}

const CCodeList& CQpgDoc::InitList(EInitList which) const
{
    return const_cast<CQpgDoc*>(this)->InitList(which);
}
