#pragma once

#include "project/command_rules.h"
#include "project/memory_image.h"
#include "project/qpg_doc_fields.h"
#include "project/memory_range.h"
#include "project/project_file_stamp.h"
#include "project/safe_file_writer.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

class CArchive;
class CMessageBox;
class COperationView;

// The project: everything a project file holds (probe link settings, the
// target description, the five init lists, the parameters and ranges of
// every command, the print header texts) and the memory image, which is
// never saved. One document lives as long as the program; New and Open reuse
// it through Reset.
//
// The front ends run the commands: they copy a command's values out of the
// document, run its dialog (or a command line step) and hand the values back
// through the command's StoreBack function, which compares, copies and sets
// the modified flag the same way for all of them.
class CQpgDoc : public SQpgDocFields {
public:
    static constexpr const char* kClassName = "CQpgDoc";
    static constexpr const char* kFileFilter = "Tarvel Files (*.tvl)";
    static constexpr const char* kFileExtension = ".tvl";
    // A project file is a few KiB; anything bigger than this is not one, and
    // is refused before it is read into memory.
    static constexpr size_t kMaxFileSize = 64u * 1024 * 1024;

    // The menu commands that work on the document, by command id.
    using ECommand = EDocCommand;

    // The five init lists in the order of their commands (32788 .. 32792).
    enum EInitList : int { MainList = 0, PreEraseList, PostEraseList, PreProgramList, PostProgramList };
    static constexpr int kInitListCount = 5;

    // Builds every member, then (with openImage) the memory image's backing
    // file at base 0 in the current directory; ImageOpenResult() tells
    // whether that worked (CMemoryImage::Open's result). A front end that
    // keeps the image elsewhere passes false and opens `image` itself.
    explicit CQpgDoc(bool openImage = true);
    CQpgDoc(const CQpgDoc&) = delete;
    CQpgDoc& operator=(const CQpgDoc&) = delete;

    int ImageOpenResult() const { return imageOpenResult_; }

    // ---- Lifecycle -----------------------------------------------------------

    // Every field back to its default, the five lists and the erase map
    // emptied, the image emptied with its base at physicalRange.start, then
    // the channel text rebuilt from the channel settings.
    void Reset();
    // File "New": Reset, no file name, not modified.
    void NewDocument();

    // The project file's archive stream (42 items, nothing before or after).
    // A read that fails leaves the archive failed; the fields read so far
    // keep the file's values (Open resets them).
    void Serialize(CArchive& ar);
    // The steps after a successful read: the image base follows
    // physicalRange.start, a memoryType that is not exactly a catalogue name
    // becomes "NONE", the channel text is rebuilt.
    void AfterRead();

    // The project file bytes of the document as it stands.
    std::vector<uint8_t> SaveToBytes();
    // Reset, read `data`, after-read steps. On failure the document is reset
    // again, `error` describes the fault, and false is returned.
    bool ReadFromBytes(std::span<const uint8_t> data, std::string& error);

    // File "Open": reads the project file `path`. A file that cannot be read
    // leaves the document as it was; a damaged one leaves it reset. Either
    // way the person is told through `box` (caption "File-Error"; "Unexpected
    // file format." for a damaged file), no autoload runs, and false is
    // returned. On success the path is kept, the modified flag cleared, and
    // when autoload is set the Load command runs with openingForAutoload set
    // (through autoloadHandler, which the front end sets); AutoloadResult()
    // gives its outcome.
    bool Open(const std::string& path, COperationView& view, CMessageBox& box);
    // The Load result of the last Open's autoload, or -1 when none ran.
    int AutoloadResult() const { return autoloadResult_; }
    // The Load command as the front end runs it for an autoload (the desktop
    // program opens the Load dialog, tarvel-cli loads at once); it answers the
    // load result. Without one no autoload runs.
    std::function<int(CQpgDoc&, COperationView&, CMessageBox&)> autoloadHandler;

    // File "Save" / "Save As": writes the project file so that a failure never
    // damages the file already there (see CSafeFileWriter). On success the
    // path is kept and the modified flag cleared; on failure the person is
    // told through `box` (caption "File-Error") and false is returned.
    //
    // Every save holds the project file lock (CProjectFileLock) from before
    // it looks at the file until the rename, so a save by another of our
    // programs never falls between a look and the write.
    bool Save(const std::string& path, CMessageBox& box,
              CSafeFileWriter::COps& ops = CSafeFileWriter::SystemOps());

    enum class ESaveResult { Saved, Failed, ChangedOnDisk };
    // Save, except over this project's own file when another program
    // changed it since this document read or wrote it (ProjectFileChanged):
    // then nothing is written, ChangedOnDisk is answered and `why` says how.
    // The look and the write are one step under the lock.
    ESaveResult SaveKeepingOtherChanges(const std::string& path, CMessageBox& box, std::string* why = nullptr,
                                        CSafeFileWriter::COps& ops = CSafeFileWriter::SystemOps());

    const std::string& GetPathName() const { return pathName_; }
    // Names the project's file without reading it (a new project that a save
    // will create there); what is at the path now is taken as read.
    void SetPathName(const std::string& path)
    {
        pathName_ = path;
        diskStamp_ = CProjectFileStamp::OfFile(path);
    }
    // Whether the project's file was changed on disk by another program
    // since this document read or wrote it (CProjectFileStamp::ChangedOnDisk):
    // a save would then drop that change. `why` (optional) says how.
    bool ProjectFileChanged(std::string* why = nullptr) const
    {
        return !pathName_.empty() && diskStamp_.ChangedOnDisk(pathName_, why);
    }
    // What the project's file held when it was last read or written.
    const CProjectFileStamp& DiskStamp() const { return diskStamp_; }
    bool IsModified() const { return modified_; }
    // The channel text of the project's target channel settings, rebuilt
    // when the project is created or read and after the communication setup.
    const std::string& ChannelText() const { return channelText_; }
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }

    // ---- Rules the commands share --------------------------------------------

    // The rules over this project's fields and image (see CCommandRules).
    CCommandRules Rules() const;
    CMemoryRange PrepareRange(const CMemoryRange& range, const CMemoryRange& fallback) const
    {
        return Rules().PrepareRange(range, fallback);
    }
    CMemoryRange StoreStartRange() const { return Rules().StoreStartRange(); }
    CMemoryRange FillStartRange() const { return Rules().FillStartRange(); }
    CMemoryRange ChecksumStartRange() const { return Rules().ChecksumStartRange(); }
    CMemoryRange DumpStartRange() const { return Rules().DumpStartRange(); }
    CMemoryRange ProgramStartRange() const { return Rules().ProgramStartRange(); }
    CMemoryRange VerifyStartRange() const { return Rules().VerifyStartRange(); }
    bool IsCommandEnabled(ECommand command) const { return Rules().IsCommandEnabled(command); }
    uint32_t BusWidthBytes() const { return Rules().BusWidthBytes(); }
    // The most banks a target can have (the target memory setup's limit).
    static constexpr int kMaxBanks = 16;
    // The erase map as the project uses it: clipped to its bank count (at
    // most kMaxBanks) and to its device's sector count (none without a
    // known device). The stored map stays as it was read.
    CEraseMap EraseMapInUse() const;

    // targetOptions bits 16-23: the target is big-endian.
    bool IsBigEndian() const { return ((targetOptions >> 16) & 0xFF) != 0; }

    // ---- Store back: the end of every command ------------------------------
    // Each compares the values a dialog or a step ends with against the fields,
    // copies them when any differs and sets the modified flag; the return
    // value says whether anything changed.

    bool StoreBackLoad(const std::string& fileName, uint32_t offset, bool autoloadOption);
    bool StoreBackStore(const CMemoryRange& range, const std::string& fileName);
    bool StoreBackFill(const CMemoryRange& range, uint32_t pattern, int unit);
    bool StoreBackChecksum(const CMemoryRange& range, uint32_t dest, int type, int destType);
    bool StoreBackEdit(int unit, uint32_t address);
    bool StoreBackDump(const CMemoryRange& range) { return StoreBackValue(dumpRange, range); }
    bool StoreBackProgram(const CMemoryRange& range) { return StoreBackValue(programRange, range); }
    bool StoreBackVerify(const CMemoryRange& range) { return StoreBackValue(verifyRange, range); }
    // Communication setup: the values are stored back only when the dialog
    // was accepted; the channel text is rebuilt from the project either way.
    bool StoreBackCommunication(bool accepted, int channel, int baud, const std::string& address);
    // Probe update dialog: likewise, the channel text from the target settings.
    bool StoreBackFirmware(bool accepted, int channel, int baud, const std::string& address,
                           const std::string& mask, const std::string& gatewayAddress);
    // Print comment dialog on OK: copies all four and marks modified without comparing.
    void StoreBackPrintComment(const std::string& left, const std::string& right, const std::string& title,
                               const std::string& commentText);
    // After the Erase dialog: a change of the erase map marks the project
    // modified, and the map's own flag is cleared.
    bool StoreBackErase();
    // Init list editor: the edited list replaces the project's list when it differs.
    bool StoreBackInitList(EInitList which, const CCodeList& list);

    // "&Clear": asks "Are you sure to clear the entire memory image?" and
    // clears the image on Yes. The modified flag is not touched.
    bool ClearImage(CMessageBox& box);

    CCodeList& InitList(EInitList which);
    const CCodeList& InitList(EInitList which) const;

    // The memory image: never saved, emptied by Reset.
    CMemoryImage image;
    // Set only while an opened project runs its autoload; never saved.
    bool openingForAutoload = false;

private:
    ESaveResult SaveLocked(const std::string& path, CMessageBox& box, bool keepOtherChanges, std::string* why,
                           CSafeFileWriter::COps& ops);

    template <class T> bool StoreBackValue(T& field, const T& value)
    {
        if (field == value)
            return false;
        field = value;
        modified_ = true;
        return true;
    }

    std::string pathName_;
    CProjectFileStamp diskStamp_;
    std::string channelText_;
    bool modified_ = false;
    int imageOpenResult_ = 1;
    int autoloadResult_ = -1;
};
