#include "common/bounded_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CBoundedFile::EResult CBoundedFile::Read(const std::string& path, size_t maxBytes, std::string& text)
{
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return EResult::CannotOpen;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        errno = err;
        return EResult::CannotOpen;
    }
    EResult result = EResult::Ok;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result = EResult::CannotOpen;
            break;
        }
        if (n == 0)
            break;
        if (static_cast<size_t>(n) > maxBytes - text.size()) {
            result = EResult::TooLarge;
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    const int err = errno;
    ::close(fd);
    errno = err;
    if (result != EResult::Ok)
        text.clear();
    return result;
}

CBoundedFile::EResult CBoundedFile::Read(const std::string& path, size_t maxBytes, const char* what,
                                         std::string& text, std::string& why)
{
    why.clear();
    if (path.empty()) {
        text.clear();
        why = "cannot open the file: no file name";
        return EResult::CannotOpen;
    }
    const EResult result = Read(path, maxBytes, text);
    if (result == EResult::CannotOpen)
        why = "cannot open " + path + ": " + std::strerror(errno);
    else if (result == EResult::TooLarge)
        why = path + " is larger than " + what + " can be";
    return result;
}
