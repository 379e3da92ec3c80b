#include "project/project_file.h"

#include "common/text_format.h"
#include "project/archive.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void CProjectFile::Serialize(SQpgDocFields &fields, CArchive &ar)
{
    uint16_t formatWord = 1; // written as 1, skipped unchecked on reading
    ar.Exchange16(formatWord);
    ar.Exchange16(fields.targetBaud);
    ar.Exchange16(fields.targetChannel);
    ar.Exchange16(fields.loaderBaud);
    ar.Exchange16(fields.loaderChannel);
    ar.ExchangeString(fields.probeAddress);
    ar.ExchangeString(fields.subnetMask);
    ar.ExchangeString(fields.gateway);
    ar.ExchangeString(fields.storeFileName);
    ar.Exchange32(fields.fillPattern);
    ar.Exchange16(fields.fillUnit);
    ar.Exchange16(fields.checksumType);
    ar.Exchange16(fields.checksumDestType);
    ar.Exchange32(fields.checksumDest);
    ar.Exchange8(fields.autoload);
    ar.Exchange32(fields.loadOffset);
    ar.ExchangeString(fields.loadFileName);
    ar.Exchange16(fields.bankCount);
    ar.Exchange16(fields.busWidth);
    ar.ExchangeString(fields.memoryType);
    ar.Exchange32(fields.workspace);
    ar.Exchange8(fields.useTargetAlgorithm);
    ar.Exchange32(fields.targetOptions);
    ar.ExchangeString(fields.headerLeft);
    ar.ExchangeString(fields.headerRight);
    ar.ExchangeString(fields.setupTitle);
    ar.ExchangeString(fields.comment);
    ar.Exchange16(fields.editUnit);
    ar.Exchange32(fields.editAddress);
    // The embedded objects check the archive's state themselves and leave
    // their content alone once it has failed.
    fields.eraseMap.Serialize(ar);
    fields.physicalRange.Serialize(ar);
    fields.storeRange.Serialize(ar);
    fields.fillRange.Serialize(ar);
    fields.checksumRange.Serialize(ar);
    fields.mainList.Serialize(ar);
    fields.preProgramList.Serialize(ar);
    fields.postProgramList.Serialize(ar);
    fields.preEraseList.Serialize(ar);
    fields.postEraseList.Serialize(ar);
    fields.programRange.Serialize(ar);
    fields.verifyRange.Serialize(ar);
    fields.dumpRange.Serialize(ar);
}

// The whole file, refusing anything bigger than a project file can be.
bool CProjectFile::ReadWholeFile(const std::string &path, size_t limit, std::vector<uint8_t> &out,
                                 std::string &error)
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
        error = Format("%llu bytes, more than a project file can hold",
                       static_cast<unsigned long long>(st.st_size));
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
