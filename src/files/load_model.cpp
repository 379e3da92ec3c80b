#include "files/load_model.h"

#include "common/message_box.h"
#include "common/operation_view.h"
#include "common/text_format.h"
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
    const char* status;
    ReaderFn load;
};

// The order in which a file's format is found; the binary reader takes every file.
constexpr SReader kReaders[] = {
    {"Loading ELF File... please wait!", LoadElfFile},
    {"Loading ABS-file... please wait!", LoadAbsFile},
    {"Loading S-Record File... please wait!", LoadSRecordFile},
    {"Loading Intel HEX File... please wait!", LoadIntelHexFile},
    {"Loading Binary File... please wait!", LoadBinaryFile},
};

// The system's reason why `fileName` cannot be read, e.g. "No such file or directory".
std::string OpenFailureReason(const std::string& fileName)
{
    struct stat path {};
    if (::stat(fileName.c_str(), &path) == 0 && !S_ISREG(path.st_mode) && !S_ISDIR(path.st_mode))
        return "not a regular file (a device, pipe or socket cannot be loaded)";
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    struct stat st {};
    const bool directory = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    ::close(fd);
    return directory ? std::strerror(EISDIR) : std::strerror(EIO);
}

} // namespace

int CLoadModel::Load(COperationView& view, CMessageBox& box)
{
    closeRequested_ = false;
    report_ = SLoadReport{};
    const uint32_t loadOffset = offset.Value();
    view.SetStatus("");
    int result = kLoadNotFormat;
    // Each reader reads the file from its start, and the binary reader reads
    // to its end: only a regular file can be read that way (a pipe is gone
    // after the first reader, a device such as /dev/zero never ends).
    struct stat st {};
    if (::stat(fileName.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        result = kLoadCannotOpen;
    for (const SReader& reader : kReaders) {
        if (result == kLoadCannotOpen)
            break;
        CWaitCursor cursor(view);
        view.SetStatus(reader.status);
        result = reader.load(fileName, image_, bytesLoaded_, fileRange_, physical_, loadOffset, &report_);
        if (result != kLoadNotFormat)
            break;
    }
    view.SetStatus("");

    const auto succeeded = [&] {
        view.SetStatus(Format("Loading of %lu bytes successful terminated !", static_cast<unsigned long>(bytesLoaded_)));
    };
    switch (result) {
    case kLoadOk:
        succeeded();
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
        break;
    case kLoadImageFailed:
        box.Show("Can not write to memory image !\nLoading aborted...", "Fatal Error", EMsgIcon::Stop, EMsgButtons::Ok);
        break;
    default:
        break;
    }
    return result;
}
