#include "probe/link/fd_transport.h"

#include "probe/probe_status.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

CFdTransport::CFdTransport(int fd, bool isSocket, bool usesChecksum, long bytesPerSecond, CClock& clock)
    : fd_(fd), isSocket_(isSocket), usesChecksum_(usesChecksum), bytesPerSecond_(bytesPerSecond), clock_(clock)
{
    const int flags = fcntl(fd_, F_GETFL);
    if (flags >= 0)
        fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
}

CFdTransport::~CFdTransport()
{
    if (fd_ >= 0)
        close(fd_);
}

int CFdTransport::PollOnce(int fd, short events, uint64_t micros)
{
    const timespec ts{static_cast<time_t>(micros / 1000000), static_cast<long>(micros % 1000000) * 1000};
    pollfd pfd{fd, events, 0};
    const int r = ppoll(&pfd, 1, &ts, nullptr);
    if (r > 0)
        return (pfd.revents & POLLNVAL) ? -1 : 1;
    return r < 0 && errno != EINTR ? -1 : 0;
}

int CFdTransport::Wait(short events, uint64_t deadline)
{
    int result = 0;
    clock_.WaitUntil(deadline, [this, events, &result](uint64_t micros) {
        result = PollOnce(fd_, events, micros);
        return result != 0;
    });
    return result;
}

long CFdTransport::Write(const uint8_t* data, size_t length, uint64_t deadline)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t n = isSocket_ ? send(fd_, data + done, length - done, MSG_NOSIGNAL)
                                    : write(fd_, data + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return kStatusConnectionLost;
        const int w = Wait(POLLOUT, deadline);
        if (w < 0)
            return kStatusConnectionLost;
        if (w == 0)
            return static_cast<long>(done);
    }
    return static_cast<long>(done);
}

long CFdTransport::Read(uint8_t* buffer, size_t capacity, uint64_t deadline)
{
    for (;;) {
        const ssize_t n = read(fd_, buffer, capacity);
        if (n > 0)
            return static_cast<long>(n);
        if (n == 0)
            return kStatusConnectionLost;  // the other side closed the connection
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return kStatusConnectionLost;
        const int w = Wait(POLLIN, deadline);
        if (w < 0)
            return kStatusConnectionLost;
        if (w == 0)
            return 0;
    }
}
