#include "project/project_file_lock.h"

#include "common/text_format.h"
#include "project/safe_file_writer.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

bool CProjectFileLock::Take(const std::string& path, std::string& error, int waitMs)
{
    Release();
    std::string target;
    if (!CSafeFileWriter::FollowLinks(path, target, error))
        return false;
    const std::filesystem::path file = target;
    const std::string dir = file.has_parent_path() ? file.parent_path().string() : std::string(".");
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true; // nothing to lock on: saved unlocked
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            return true;
        }
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            ::close(fd);
            return true; // no flock on this file system
        }
        if (std::chrono::steady_clock::now() >= end)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ::close(fd);
    error = Format("%s is being saved by another program; try again when it is done", path.c_str());
    return false;
}

void CProjectFileLock::Release()
{
    if (fd_ >= 0)
        ::close(fd_); // closing the only descriptor releases the flock
    fd_ = -1;
}
