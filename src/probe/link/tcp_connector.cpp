#include "probe/link/tcp_connector.h"

#include "probe/link/fd_transport.h"
#include "probe/probe_status.h"

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int StatusOfConnectError(int err)
{
    switch (err) {
    case ECONNREFUSED:
    case ECONNRESET:
        return kStatusConnectionRefused;
    case ETIMEDOUT:
        return kStatusTimeout;
    default:
        return kStatusHostUnreachable;
    }
}

} // namespace

int CTcpConnector::Connect(const std::string& host, uint16_t port, int timeoutMs, CClock& clock,
                           std::unique_ptr<CLinkTransport>& transport)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found)
        return kStatusHostUnreachable;

    const int fd = socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                          found->ai_protocol);
    if (fd < 0) {
        freeaddrinfo(found);
        return kStatusHostUnreachable;
    }
    int status = kStatusOk;
    if (connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            status = StatusOfConnectError(errno);
        } else {
            const uint64_t deadline = clock.NowMicros() + uint64_t(timeoutMs) * 1000;
            int polled = 0;
            clock.WaitUntil(deadline, [fd, &polled](uint64_t micros) {
                polled = CFdTransport::PollOnce(fd, POLLOUT, micros);
                return polled != 0;
            });
            if (polled == 0) {
                status = kStatusTimeout;
            } else if (polled < 0) {
                status = kStatusHostUnreachable;
            } else {
                int err = 0;
                socklen_t len = sizeof err;
                if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                    err = errno;
                if (err != 0)
                    status = StatusOfConnectError(err);
            }
        }
    }
    freeaddrinfo(found);
    if (status != kStatusOk) {
        close(fd);
        return status;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    transport = std::make_unique<CFdTransport>(fd, true, false, 0, clock);
    return kStatusOk;
}
