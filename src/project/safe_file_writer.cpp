#include "project/safe_file_writer.h"

#include "common/text_format.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

ssize_t CSafeFileWriter::COps::Write(int fd, const void* data, size_t n)
{
    return ::write(fd, data, n);
}

int CSafeFileWriter::COps::Fsync(int fd)
{
    return ::fsync(fd);
}

int CSafeFileWriter::COps::Rename(const char* from, const char* to)
{
    return ::rename(from, to);
}

CSafeFileWriter::COps& CSafeFileWriter::SystemOps()
{
    static COps ops;
    return ops;
}

bool CSafeFileWriter::Write(const std::string& path, std::span<const uint8_t> bytes, std::string& error)
{
    namespace fs = std::filesystem;
    if (path.empty()) {
        error = "no file name";
        return false;
    }
    // Write through a symbolic link to the file it names.
    fs::path target = path;
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) {
        error = Format("%s is not a regular file", path.c_str());
        return false;
    }

    // A new name beside the target, so that the rename stays on one file system.
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string stem = Format(".%s.tmp-%ld-", target.filename().c_str(), static_cast<long>(::getpid()));
    std::string temp;
    int fd = -1;
    for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = (dir / Format("%s%u", stem.c_str(), attempt)).string();
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        error = Format("cannot create a file in %s: %s", dir.c_str(), std::strerror(errno));
        return false;
    }

    const auto fail = [&](const char* what) {
        error = Format("%s %s: %s", what, temp.c_str(), std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.c_str());
        return false;
    };
    if (replacing && ::fchmod(fd, old.st_mode & 07777) != 0)
        return fail("cannot set the permissions of");
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ops_.Write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return fail("cannot write");
        }
        done += static_cast<size_t>(n);
    }
    if (ops_.Fsync(fd) != 0)
        return fail("cannot write");
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return fail("cannot write");
    if (ops_.Rename(temp.c_str(), target.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        error = Format("cannot replace %s: %s", path.c_str(), std::strerror(saved));
        return false;
    }
    // Make the rename itself durable; a failure here cannot undo it.
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}
