// A program started with a standard descriptor closed gets /dev/null there,
// so that the next file it opens cannot take the number.
#include "common/standard_descriptors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// In a child: closes `fd`, runs the function, and answers through its exit
// code whether `fd` is /dev/null afterwards and a new file gets another number.
int ChildWithClosed(int fd)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fd);
        OpenClosedStandardDescriptors();
        struct stat st {};
        struct stat null {};
        if (::fstat(fd, &st) != 0 || ::stat("/dev/null", &null) != 0 || st.st_rdev != null.st_rdev)
            ::_exit(2);
        const int next = ::open("/dev/zero", O_RDONLY);
        ::_exit(next > 2 ? 0 : 3);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(StandardDescriptors, EachClosedOneGetsDevNull)
{
    for (int fd = 0; fd <= 2; ++fd)
        EXPECT_EQ(ChildWithClosed(fd), 0) << "descriptor " << fd;
}

} // namespace
