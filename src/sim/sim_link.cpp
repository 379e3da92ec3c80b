#include "sim/sim_link.h"

#include "probe/probe_status.h"
#include "probe/link/wire_payload.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/inotify.h>
#include <sys/uio.h>
#include <termios.h>
#include <unistd.h>

namespace {

void SetNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

} // namespace

CSimLink::CSimLink(CProbeSim& probe, const SSimFaults& faults) : probe_(probe), faults_(faults)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
    }
}

CSimLink::~CSimLink()
{
    Stop();
    for (auto& connection : connections_)
        Close(*connection);
    if (listenFd_ >= 0)
        close(listenFd_);
    if (wakeRead_ >= 0)
        close(wakeRead_);
    if (wakeWrite_ >= 0)
        close(wakeWrite_);
}

int CSimLink::ListenTcp(const std::string& address, uint16_t port)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1)
        return -EINVAL;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -errno;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        (!faults_.Settings().refuseConnection && listen(fd, 4) != 0)) {
        const int err = errno;
        close(fd);
        return -err;
    }
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    // A port that refuses is bound but never listened on: the system answers
    // every connection attempt with a refusal. It is not polled.
    listenFd_ = fd;
    return 0;
}

void CSimLink::ServeFd(int fd, bool withChecksum)
{
    SetNonBlocking(fd);
    auto connection = std::make_unique<SConnection>();
    connection->fd = fd;
    int type = 0;
    socklen_t len = sizeof type;
    connection->isSocket = getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) == 0;
    connection->withChecksum = withChecksum;
    connection->decoder = CWireDecoder(withChecksum);
    connections_.push_back(std::move(connection));
}

std::string CSimLink::OpenPty()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return {};
    char name[128] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        close(master);
        return {};
    }
    // Keep the terminal side open ourselves: the master would report a
    // hang-up whenever no host has it open. Raw, so that nothing is echoed.
    const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        if (slave >= 0)
            close(slave);
        close(master);
        return {};
    }
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    ServeFd(master, true);
    connections_.back()->keepFd = slave;
    connections_.back()->ptyPath = name;
    return name;
}

void CSimLink::CutLine(SConnection& connection)
{
    connection.inbound.clear();
    connection.outbound.clear();
    connection.inboundBytes = 0;
    connection.outboundBytes = 0;
    connection.decoder = CWireDecoder(connection.withChecksum);
    connection.watchFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (connection.watchFd < 0 ||
        inotify_add_watch(connection.watchFd, connection.ptyPath.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        // Without word of the host's close the line could never be mended.
        Log("line " + connection.ptyPath + " cut and closed (no watch on it)");
        Close(connection);
        return;
    }
    connection.lineCut = true;
    Log("line " + connection.ptyPath + " cut");
}

void CSimLink::WatchCutLine(SConnection& connection, short revents)
{
    // The events first: bytes of a host that opened the terminal after the
    // close are the next host's, and are served.
    alignas(inotify_event) char events[4096];
    bool closed = false;
    ssize_t n = 0;
    while ((n = read(connection.watchFd, events, sizeof events)) > 0)
        closed = true; // only close events are watched
    if (closed) {
        close(connection.watchFd);
        connection.watchFd = -1;
        connection.lineCut = false;
        connection.decoder = CWireDecoder(connection.withChecksum);
        connection.upFree = connection.downFree = connection.lastSendAt = Clock::time_point{};
        // Replies the cut host never read are not the next host's.
        tcflush(connection.keepFd, TCIFLUSH);
        Log("line " + connection.ptyPath + " whole again");
        if (revents & (POLLIN | POLLHUP))
            ReadFrom(connection);
        return;
    }
    if (revents & POLLIN) {
        uint8_t buffer[4096];
        while (read(connection.fd, buffer, sizeof buffer) > 0) {
        }
    }
}

int CSimLink::Start()
{
    if (thread_.joinable())
        return 0;
    if (wakeRead_ < 0)
        return -EMFILE;
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
    return 0;
}

void CSimLink::EndFaults()
{
    faultsEnded_ = true;
    // The refusing port listens at once, so that a connection attempt right
    // after this call is taken (the loop, woken, then accepts it).
    if (listenFd_ >= 0 && faults_.Settings().refuseConnection)
        listen(listenFd_, 4);
    const char byte = 1;
    if (wakeWrite_ >= 0) {
        [[maybe_unused]] const ssize_t n = write(wakeWrite_, &byte, 1);
    }
}

void CSimLink::Stop()
{
    if (!thread_.joinable())
        return;
    stop_ = true;
    probe_.Abort();
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(wakeWrite_, &byte, 1);
    thread_.join();
}

void CSimLink::Close(SConnection& connection)
{
    if (connection.fd >= 0)
        close(connection.fd);
    if (connection.keepFd >= 0)
        close(connection.keepFd);
    if (connection.watchFd >= 0)
        close(connection.watchFd);
    connection.fd = -1;
    connection.keepFd = -1;
    connection.watchFd = -1;
    connection.closed = true;
}

size_t CSimLink::DueBytes(Clock::time_point firstByteAt, Clock::duration byteTime, size_t size,
                          Clock::time_point now)
{
    if (now < firstByteAt)
        return 0;
    if (byteTime <= Clock::duration::zero())
        return size;
    return std::min(size, static_cast<size_t>((now - firstByteAt) / byteTime) + 1);
}

CSimLink::Clock::duration CSimLink::LineTime(size_t bytes) const
{
    const double bandwidth = faults_.Settings().bandwidth;
    if (bandwidth <= 0)
        return Clock::duration::zero();
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(bytes / bandwidth));
}

void CSimLink::Log(const std::string& line) const
{
    if (log_)
        log_(line);
}

void CSimLink::Drop(SConnection& connection, const std::string& why)
{
    Log("dropped host " + connection.peer + ": " + why);
    Close(connection);
}

bool CSimLink::PeerGone(int fd)
{
    // A host that hung up with requests still unread in the socket has gone
    // as well: its end is shut (or reset) behind the data.
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    if (poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0)
        return true;
    char byte = 0;
    return recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

void CSimLink::Accept()
{
    for (;;) {
        sockaddr_in addr{};
        socklen_t len = sizeof addr;
        const int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        char text[INET_ADDRSTRLEN] = "?";
        inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
        const std::string peer = std::string(text) + ":" + std::to_string(ntohs(addr.sin_port));
        // One host at a time. A host that has just hung up (a reconnect) is
        // let go first, so that its successor is not refused.
        bool busy = false;
        for (auto& connection : connections_) {
            if (!connection->fromListener || connection->closed || connection->busy)
                continue;
            if (PeerGone(connection->fd)) {
                Log("host " + connection->peer + " disconnected");
                Close(*connection);
            } else {
                busy = true;
            }
        }
        if (busy) {
            // The host is told why: its first request is answered with
            // "busy", then the connection is closed.
            Log("refused host " + peer + ": another host is connected");
            ServeFd(fd, false);
            SConnection& refused = *connections_.back();
            refused.fromListener = true;
            refused.busy = true;
            refused.peer = peer;
            refused.lastInput = Clock::now();
            continue;
        }
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ServeFd(fd, false);
        SConnection& connection = *connections_.back();
        connection.fromListener = true;
        connection.peer = peer;
        connection.lastInput = Clock::now();
        Log("host " + peer + " connected");
    }
}

CSimLink::Clock::time_point CSimLink::DropOverdue()
{
    const auto now = Clock::now();
    auto next = Clock::time_point::max();
    auto ms = [](uint32_t n) { return std::chrono::milliseconds(n); };
    for (auto& connection : connections_) {
        if (!connection->fromListener || connection->closed)
            continue;
        const bool midPacket = connection->decoder.BufferedBytes() > 0;
        const auto idleSince = connection->lastInput;
        auto check = [&](bool applies, uint32_t limitMs, const char* what) {
            if (!applies || connection->closed)
                return;
            const auto deadline = idleSince + ms(limitMs);
            if (now >= deadline)
                Drop(*connection, std::string(what) + " for " + std::to_string(limitMs) + " ms");
            else
                next = std::min(next, deadline);
        };
        check(!connection->spoke, limits_.helloMs, "no packet since connecting");
        check(connection->spoke && midPacket, limits_.stallMs, "a packet left unfinished");
        // A host waiting for its own replies is not idle.
        check(connection->inbound.empty() && connection->outbound.empty(), limits_.idleMs, "nothing received");
    }
    return next;
}

bool CSimLink::CanRead(const SConnection& connection)
{
    return connection.inbound.size() < kMaxQueuedRequests;
}

bool CSimLink::CanAnswer(const SConnection& connection)
{
    return connection.outboundBytes < kMaxQueuedReplyBytes;
}

void CSimLink::NoteQueued(const SConnection& connection)
{
    const size_t queued = connection.inboundBytes + connection.outboundBytes + connection.decoder.BufferedBytes();
    if (queued > peakQueued_)
        peakQueued_ = queued;
}

void CSimLink::ReadFrom(SConnection& connection)
{
    const auto halfTrip = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(faults_.Settings().roundTripMs / 2));
    uint8_t buffer[65536];
    // One buffer at a time, each decoded before the next is read, and no more
    // once enough requests wait: the rest stays with the host's transport.
    while (CanRead(connection)) {
        const ssize_t n = read(connection.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n <= 0) {
            if (connection.fromListener)
                Log("host " + connection.peer + " disconnected");
            Close(connection); // closed by the host, or failed
            return;
        }
        connection.decoder.Feed(buffer, static_cast<size_t>(n));
        const auto now = Clock::now();
        connection.lastInput = now;
        SWirePacket packet;
        while (connection.decoder.Next(packet)) {
            connection.spoke = true;
            if (packet.IsReply())
                continue;
            const size_t size = WirePacketSize(packet.payload.size(), connection.withChecksum);
            connection.upFree = std::max(connection.upFree, now) + LineTime(size);
            connection.inboundBytes += packet.payload.size();
            connection.inbound.push_back({std::move(packet), connection.upFree + halfTrip});
        }
        // A TCP stream carries no noise: bytes that start no packet (garbage,
        // a length above the limit) mean the host does not speak the protocol.
        if (connection.fromListener && connection.decoder.SkippedBytes() > 0) {
            Drop(connection, std::to_string(connection.decoder.SkippedBytes()) + " bytes that start no packet");
            return;
        }
        NoteQueued(connection);
    }
}

void CSimLink::ProcessDue(SConnection& connection)
{
    const auto halfTrip = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(faults_.Settings().roundTripMs / 2));
    // Whether the host is still there is asked before the first request and
    // again once a millisecond has passed, not for every request: two system
    // calls per kilobyte of a stream would cost more than the probe's work.
    bool looked = false;
    Clock::time_point lastLook{};
    while (!connection.inbound.empty() && connection.inbound.front().deliverAt <= Clock::now() && !stop_ &&
           CanAnswer(connection)) {
        // A host that has hung up waits for none of its queued requests: a
        // stream it left behind is dropped instead of keeping the probe busy
        // (programming takes real time) while the next host waits.
        if (connection.isSocket && (!looked || Clock::now() - lastLook >= std::chrono::milliseconds(1))) {
            looked = true;
            lastLook = Clock::now();
            if (PeerGone(connection.fd)) {
                if (connection.fromListener)
                    Log("host " + connection.peer + " disconnected");
                Close(connection);
                return;
            }
        }
        SInbound request = std::move(connection.inbound.front());
        connection.inbound.pop_front();
        connection.inboundBytes -= request.packet.payload.size();
        if (connection.busy) {
            // Not a request of the host being served: it neither reaches the
            // probe nor counts for the faults.
            SWirePacket reply{request.packet.op, kWireFlagReply, request.packet.sequence,
                             CWireWriter().I32(kStatusProbeBusy).bytes};
            SOutbound out;
            EncodeWirePacket(reply, connection.withChecksum, out.bytes);
            out.sendAt = Clock::now();
            connection.outboundBytes += out.bytes.size();
            connection.outbound.push_back(std::move(out));
            connection.inbound.clear();
            connection.inboundBytes = 0;
            return;
        }
        const uint32_t number = ++requests_;
        SWirePacket reply;
        {
            std::lock_guard<std::mutex> lock(probeMutex_);
            reply = probe_.Handle(request.packet);
        }
        std::chrono::milliseconds delay{0};
        const bool faulty = !faultsEnded_;
        if (faulty && faults_.CutsAt(number)) {
            // A network connection is closed; a serial line goes dead until
            // its host lets go, and its terminal stays for the next host.
            if (connection.keepFd >= 0)
                CutLine(connection);
            else
                Close(connection);
            return;
        }
        if (faulty && !faults_.Apply(number, reply, delay))
            continue;
        SOutbound out;
        EncodeWirePacket(reply, connection.withChecksum, out.bytes);
        const auto done = Clock::now();
        const auto start = std::max(connection.downFree, done);
        connection.downFree = start + LineTime(out.bytes.size());
        out.byteTime = LineTime(1);
        out.sendAt = std::max(start + out.byteTime + halfTrip + delay, connection.lastSendAt);
        connection.lastSendAt = out.sendAt;
        connection.outboundBytes += out.bytes.size();
        connection.outbound.push_back(std::move(out));
        NoteQueued(connection);
    }
}

void CSimLink::WriteDue(SConnection& connection)
{
    // Every reply that is due goes out in one call (up to a batch of them),
    // not one system call per reply; a reply the line is still handing over
    // goes as far as its due bytes and ends the batch.
    constexpr size_t kBatch = 64;
    while (!connection.outbound.empty() && connection.outbound.front().NextByteAt() <= Clock::now()) {
        iovec parts[kBatch];
        size_t count = 0;
        const auto now = Clock::now();
        for (auto it = connection.outbound.begin();
             it != connection.outbound.end() && count < kBatch && it->NextByteAt() <= now; ++it) {
            const size_t due = it->DueBytes(now);
            parts[count++] = {it->bytes.data() + it->written, due - it->written};
            if (due < it->bytes.size())
                break;
        }
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = count;
        const ssize_t n = connection.isSocket ? sendmsg(connection.fd, &message, MSG_NOSIGNAL)
                                              : writev(connection.fd, parts, static_cast<int>(count));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            Close(connection);
            return;
        }
        size_t written = static_cast<size_t>(n);
        connection.outboundBytes -= written;
        while (written > 0) {
            SOutbound& out = connection.outbound.front();
            const size_t part = std::min(written, out.bytes.size() - out.written);
            out.written += part;
            written -= part;
            if (out.written == out.bytes.size())
                connection.outbound.pop_front();
        }
    }
    if (connection.busy && connection.spoke && connection.inbound.empty() && connection.outbound.empty())
        Close(connection); // the refused host has its answer
}

void CSimLink::Run()
{
    bool listening = listenFd_ >= 0 && !faults_.Settings().refuseConnection;
    while (!stop_) {
        // A port that refused until the faults ended is listened on since (EndFaults).
        if (!listening && listenFd_ >= 0 && faultsEnded_)
            listening = true;
        for (auto& connection : connections_) {
            if (connection->closed)
                continue;
            ProcessDue(*connection);
            if (!connection->closed)
                WriteDue(*connection);
        }
        auto next = DropOverdue();
        connections_.erase(std::remove_if(connections_.begin(), connections_.end(),
                                          [](const auto& c) { return c->closed; }),
                           connections_.end());

        std::vector<pollfd> fds;
        fds.push_back({wakeRead_, POLLIN, 0});
        if (listening)
            fds.push_back({listenFd_, POLLIN, 0});
        for (auto& connection : connections_) {
            short events = CanRead(*connection) ? POLLIN : 0;
            if (!connection->inbound.empty() && CanAnswer(*connection))
                next = std::min(next, connection->inbound.front().deliverAt);
            if (!connection->outbound.empty()) {
                if (connection->outbound.front().NextByteAt() <= Clock::now())
                    events |= POLLOUT;
                else
                    next = std::min(next, connection->outbound.front().NextByteAt());
            }
            fds.push_back({connection->fd, events, 0});
        }
        // After the connections: the watches of cut lines, which only wake the loop.
        for (auto& connection : connections_) {
            if (connection->watchFd >= 0)
                fds.push_back({connection->watchFd, POLLIN, 0});
        }
        timespec ts{};
        timespec* timeout = nullptr;
        if (next != Clock::time_point::max()) {
            const auto left = std::max(next - Clock::now(), Clock::duration::zero());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            ts = {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
            timeout = &ts;
        }
        if (ppoll(fds.data(), fds.size(), timeout, nullptr) < 0 && errno != EINTR)
            break;
        // A wake-up either stops the loop or has the poll set built anew
        // (a refusing port that now listens).
        if (fds[0].revents) {
            char drain[16];
            while (read(wakeRead_, drain, sizeof drain) > 0) {
            }
            if (stop_)
                break;
            continue;
        }
        const size_t index = listening ? 2 : 1;
        const size_t polled = connections_.size();
        // Reads first, so that a host that has hung up is gone before its
        // successor is accepted.
        for (size_t i = 0; i < polled; ++i) {
            SConnection& connection = *connections_[i];
            if (connection.closed)
                continue;
            const short revents = fds[index + i].revents;
            if (connection.lineCut) {
                WatchCutLine(connection, revents);
                continue;
            }
            // A hang-up while the connection is held back cannot be read to
            // its end: the host is gone, and so are its requests' answers.
            if ((revents & POLLERR) || ((revents & POLLHUP) && !CanRead(connection)))
                Close(connection);
            else if (revents & (POLLIN | POLLHUP))
                ReadFrom(connection);
        }
        if (listening && (fds[1].revents & POLLIN))
            Accept();
    }
}
