#include "project/file_stamp.h"

#include <sys/stat.h>

std::optional<CFileStamp> CFileStamp::Of(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    CFileStamp stamp;
    stamp.device_ = static_cast<uint64_t>(st.st_dev);
    stamp.inode_ = static_cast<uint64_t>(st.st_ino);
    stamp.size_ = static_cast<uint64_t>(st.st_size);
    // The status change time moves with every write and rename and cannot be
    // set back by a program the way the modification time can.
    stamp.changedSeconds_ = static_cast<int64_t>(st.st_ctim.tv_sec);
    stamp.changedNanoseconds_ = static_cast<int64_t>(st.st_ctim.tv_nsec);
    return stamp;
}
