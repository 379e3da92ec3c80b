#include "project/qpg_doc.h"

#include "common/message_box.h"
#include "common/operation_view.h"
#include "common/text_format.h"
#include "common/channel_text.h"
#include "project/archive.h"
#include "project/project_file.h"
#include "project/project_file_lock.h"
#include "catalogue/flash_catalogue.h"

#include <algorithm>
#include <cerrno>
#include <tuple>
#include <type_traits>
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
    diskStamp_ = CProjectFileStamp{};
    modified_ = false;
    autoloadResult_ = -1;
}

void CQpgDoc::Serialize(CArchive& ar)
{
    CProjectFile::Serialize(*this, ar);
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


bool CQpgDoc::Open(const std::string& path, COperationView& view, CMessageBox& box)
{
    autoloadResult_ = -1;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!CProjectFile::ReadWholeFile(path, kMaxFileSize, bytes, error)) {
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
    diskStamp_ = CProjectFileStamp::OfBytes(path, bytes);
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
    return SaveLocked(path, box, false, nullptr, ops) == ESaveResult::Saved;
}

CQpgDoc::ESaveResult CQpgDoc::SaveKeepingOtherChanges(const std::string& path, CMessageBox& box, std::string* why,
                                                      CSafeFileWriter::COps& ops)
{
    return SaveLocked(path, box, true, why, ops);
}

namespace {

// Whether `a` and `b` name one existing file.
bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace

CQpgDoc::ESaveResult CQpgDoc::SaveLocked(const std::string& path, CMessageBox& box, bool keepOtherChanges,
                                         std::string* why, CSafeFileWriter::COps& ops)
{
    const std::vector<uint8_t> bytes = SaveToBytes();
    std::string error;
    CProjectFileLock lock;
    if (!lock.Take(path, error)) {
        box.Show(Format("Failed to save document.\n%s", error.c_str()), "File-Error", EMsgIcon::Stop,
                 EMsgButtons::Ok);
        return ESaveResult::Failed;
    }
    if (keepOtherChanges && !pathName_.empty() && (path == pathName_ || SameFile(path, pathName_)) &&
        ProjectFileChanged(why))
        return ESaveResult::ChangedOnDisk;
    CSafeFileWriter writer(ops);
    if (!writer.Write(path, bytes, error)) {
        box.Show(Format("Failed to save document.\n%s", error.c_str()), "File-Error", EMsgIcon::Stop,
                 EMsgButtons::Ok);
        return ESaveResult::Failed;
    }
    pathName_ = path;
    diskStamp_ = CProjectFileStamp::OfBytes(path, bytes);
    modified_ = false;
    return ESaveResult::Saved;
}

// ---- Rules the commands share -----------------------------------------------

CEraseMap CQpgDoc::EraseMapInUse() const
{
    uint32_t sectors = 0;
    if (!CFlashCatalogue::GetFlashSectorCount(memoryType, sectors))
        sectors = 0;
    return eraseMap.Clipped(std::min(bankCount, kMaxBanks), static_cast<int>(std::min<uint32_t>(sectors, 0xFFFF)));
}

CCommandRules CQpgDoc::Rules() const
{
    return CCommandRules(*this, image);
}

// ---- Store back ---------------------------------------------------------------

namespace {

// The end of a dialog's command: the dialog's values go into the project's
// fields when any of them differs (compared exactly, file names byte for
// byte), and only then is the project marked modified. True when it was.
template <class... TField>
bool TakeBack(bool& modified, std::tuple<TField&...> fields, const std::tuple<std::type_identity_t<TField>...>& values)
{
    if (fields == values)
        return false;
    fields = values;
    modified = true;
    return true;
}

} // namespace

bool CQpgDoc::StoreBackLoad(const std::string& fileName, uint32_t offset, bool autoloadOption)
{
    return TakeBack(modified_, std::tie(loadFileName, loadOffset, autoload), {fileName, offset, autoloadOption});
}

bool CQpgDoc::StoreBackStore(const CMemoryRange& range, const std::string& fileName)
{
    return TakeBack(modified_, std::tie(storeRange, storeFileName), {range, fileName});
}

namespace {

// The image dialogs show a unit index outside 0..2, which only a damaged
// project file holds, as 2 (long). When the person leaves it there, the value
// read is kept, so that the project file stays as it was.
int KeptUnit(int stored, int shown)
{
    return (stored < 0 || stored > 2) && shown == 2 ? stored : shown;
}

} // namespace

bool CQpgDoc::StoreBackFill(const CMemoryRange& range, uint32_t pattern, int unit)
{
    return TakeBack(modified_, std::tie(fillRange, fillPattern, fillUnit), {range, pattern, KeptUnit(fillUnit, unit)});
}

bool CQpgDoc::StoreBackChecksum(const CMemoryRange& range, uint32_t dest, int type, int destType)
{
    return TakeBack(modified_, std::tie(checksumRange, checksumDest, checksumType, checksumDestType),
                    {range, dest, KeptUnit(checksumType, type), KeptUnit(checksumDestType, destType)});
}

bool CQpgDoc::StoreBackEdit(int unit, uint32_t address)
{
    return TakeBack(modified_, std::tie(editUnit, editAddress), {KeptUnit(editUnit, unit), address});
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
