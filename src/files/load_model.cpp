#include "files/load_model.h"

#include "common/message_box.h"
#include "common/operation_view.h"
#include "common/text_format.h"
#include "files/plain_text.h"
#include "files/program_file_readers.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using ReaderFn = int (*)(const std::string&, CMemoryImage&, uint32_t&, CMemoryRange&, const CMemoryRange&, uint32_t,
                         SLoadReport*);

struct SReader {
    EProgramFormat format;
    const char* word;   // as the command line names it
    const char* name;   // as messages name it
    const char* status;
    ReaderFn load;
};

// The order in which a file's format is found; binary data comes last, and
// only for a file none of the others took.
constexpr SReader kReaders[] = {
    {EProgramFormat::Elf, "elf", "ELF file", "Loading ELF File... please wait!", LoadElfFile},
    {EProgramFormat::Abs, "abs", "absolute file", "Loading ABS-file... please wait!", LoadAbsFile},
    {EProgramFormat::SRecord, "srec", "S-record file", "Loading S-Record File... please wait!", LoadSRecordFile},
    {EProgramFormat::IntelHex, "hex", "Intel HEX file", "Loading Intel HEX File... please wait!", LoadIntelHexFile},
    {EProgramFormat::Binary, "binary", "binary file", "Loading Binary File... please wait!", LoadBinaryFile},
};

const SReader* ReaderOf(EProgramFormat format)
{
    for (const SReader& reader : kReaders) {
        if (reader.format == format)
            return &reader;
    }
    return nullptr;
}

// The system's reason why `fileName` cannot be read, e.g. "No such file or directory".
std::string OpenFailureReason(const std::string& fileName)
{
    struct stat path {};
    if (::stat(fileName.c_str(), &path) == 0 && !S_ISREG(path.st_mode) && !S_ISDIR(path.st_mode))
        return "not a regular file (a device, pipe or socket cannot be loaded)";
    if (::stat(fileName.c_str(), &path) == 0 && S_ISDIR(path.st_mode))
        return std::strerror(EISDIR);
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    ::close(fd);
    return std::strerror(EIO);
}

} // namespace

const char* CLoadModel::FormatName(EProgramFormat format)
{
    const SReader* reader = ReaderOf(format);
    return reader ? reader->name : "program file";
}

bool CLoadModel::ParseFormat(const std::string& word, EProgramFormat& format)
{
    if (word == "auto") {
        format = EProgramFormat::Auto;
        return true;
    }
    for (const SReader& reader : kReaders) {
        if (word == reader.word) {
            format = reader.format;
            return true;
        }
    }
    return false;
}

int CLoadModel::RunReader(EProgramFormat which, COperationView& view)
{
    const SReader& reader = *ReaderOf(which);
    CWaitCursor cursor(view);
    const bool trial = format == EProgramFormat::Auto && !showEveryTry;
    if (!trial)
        view.SetStatus(reader.status);
    const int result = reader.load(fileName, image_, bytesLoaded_, fileRange_, physical_, offset.Value(), &report_);
    if (result != kLoadNotFormat && result != kLoadCannotOpen) {
        formatRead_ = which;
        if (trial)
            view.SetStatus(reader.status); // the format found, for the log
    }
    return result;
}

int CLoadModel::LoadUntaken(COperationView& view, CMessageBox& box)
{
    const auto refuse = [&](std::string reason) {
        report_.line = 0;
        report_.reason = std::move(reason);
        return kLoadRefused;
    };
    switch (ClassifyFileText(fileName)) {
    case EFileText::Unreadable:
        return kLoadCannotOpen;
    case EFileText::Empty:
        return refuse("the file is empty");
    case EFileText::Binary:
        return RunReader(EProgramFormat::Binary, view);
    case EFileText::Text:
        break;
    }
    refusedAsText_ = true;
    if (textRule == ETextRule::Refuse)
        return refuse("a text file, but no S-record or Intel HEX file: it is not loaded as binary data");
    view.SetStatus("");
    if (box.Show(Format("%s is a text file, but no S-record or Intel HEX file.\n\n"
                        "Load its characters into the memory image as binary data?",
                        fileName.c_str()),
                 "Confirmed", EMsgIcon::Question, EMsgButtons::YesNoDefaultNo) != EMsgResult::Yes)
        return kLoadNotFormat;
    refusedAsText_ = false;
    return RunReader(EProgramFormat::Binary, view);
}

void CLoadModel::WarnAbout(CMessageBox& box) const
{
    if (report_.overlap)
        box.Show(Format("%s: records overlap with different bytes, first at %08lX Hex.\n"
                        "The bytes of the later record were loaded.",
                        fileName.c_str(), static_cast<unsigned long>(report_.overlapAddress)),
                 "Warning", EMsgIcon::Exclamation, EMsgButtons::Ok);
    if (report_.elf && report_.elfBigEndian != bigEndianTarget)
        box.Show(Format("%s is a %s ELF file, but the target is set up %s.\n"
                        "Its bytes were loaded as the file holds them.",
                        fileName.c_str(), report_.elfBigEndian ? "big-endian" : "little-endian",
                        bigEndianTarget ? "big-endian" : "little-endian"),
                 "Warning", EMsgIcon::Exclamation, EMsgButtons::Ok);
}

int CLoadModel::Load(COperationView& view, CMessageBox& box)
{
    closeRequested_ = false;
    refusedAsText_ = false;
    formatRead_ = EProgramFormat::Auto;
    report_ = SLoadReport{};
    bytesLoaded_ = 0;
    view.SetStatus("");
    int result = kLoadNotFormat;
    // Each reader reads the file from its start, and the binary reader reads
    // to its end: only a regular file can be read that way (a pipe is gone
    // after the first reader, a device such as /dev/zero never ends).
    struct stat st {};
    if (::stat(fileName.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        result = kLoadCannotOpen;
    if (result != kLoadCannotOpen && format != EProgramFormat::Auto) {
        result = RunReader(format, view);
        if (result == kLoadNotFormat) {
            // Asked for by name: not being of that format is a refusal.
            if (report_.reason.empty())
                report_.reason = std::string("not an ") + FormatName(format);
            result = kLoadRefused;
        }
    } else if (result != kLoadCannotOpen) {
        for (const SReader& reader : kReaders) {
            if (reader.format == EProgramFormat::Binary)
                break;
            report_ = SLoadReport{};
            result = RunReader(reader.format, view);
            if (result != kLoadNotFormat)
                break;
        }
        if (result == kLoadNotFormat) {
            report_ = SLoadReport{};
            result = LoadUntaken(view, box);
        }
    }
    view.SetStatus("");

    const auto succeeded = [&] {
        view.SetStatus(Format("Loading of %lu bytes successful terminated ! (%s)",
                              static_cast<unsigned long>(bytesLoaded_), FormatName(formatRead_)));
    };
    switch (result) {
    case kLoadOk:
        succeeded();
        WarnAbout(box);
        closeRequested_ = openedForAutoload;
        break;
    case kLoadCannotOpen:
        box.Show(Format("Can not open file !\nLoading process aborted...\n\n%s: %s", fileName.c_str(),
                        OpenFailureReason(fileName).c_str()),
                 "Error", EMsgIcon::Stop, EMsgButtons::Ok);
        break;
    case kLoadRefused: {
        const std::string where =
            report_.line > 0 ? Format("%s, line %lu", fileName.c_str(), report_.line) : fileName;
        box.Show(Format("%s: %s !\nThe memory image is unchanged.\nLoading process aborted...", where.c_str(),
                        report_.reason.c_str()),
                 "Error", EMsgIcon::Stop, EMsgButtons::Ok);
        break;
    }
    case kLoadOutside:
        succeeded();
        box.Show(Format("Some of %lu loaded bytes are outside of the defined memory range !!\n\n"
                        "Memory range:\t%08lX - %08lX Hex\nFile range:\t%08lX - %08lX Hex\n",
                        static_cast<unsigned long>(bytesLoaded_), static_cast<unsigned long>(physical_.GetStart()),
                        static_cast<unsigned long>(physical_.GetEnd()), static_cast<unsigned long>(fileRange_.GetStart()),
                        static_cast<unsigned long>(fileRange_.GetEnd())),
                 "Warning", EMsgIcon::Exclamation, EMsgButtons::Ok);
        WarnAbout(box);
        break;
    case kLoadImageFailed:
        box.Show("Can not write to memory image !\nLoading aborted...", "Fatal Error", EMsgIcon::Stop, EMsgButtons::Ok);
        break;
    case kLoadNotFormat:
        // The person declined to load a text file as binary data.
        view.SetStatus("Not loaded: the file is text, but no program file. The memory image is unchanged.");
        break;
    default:
        break;
    }
    return result;
}
