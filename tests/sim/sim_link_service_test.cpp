// The simulated probe as a network service: how it copes with hosts that
// misbehave on the wire.

#include "probe_sim_fixture.h"

#include "probe/wire_frame.h"
#include "probe/wire_payload.h"

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

// A raw TCP client of the simulator, with a small receive buffer.
class CRawClient {
public:
    explicit CRawClient(uint16_t port)
    {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int small = 4096;
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        inet_pton(AF_INET, "127.0.0.1", &addr.sin_addr);
        connected = connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~CRawClient()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    // Sends what the socket takes within `ms`; the bytes sent.
    size_t SendFor(const Bytes& bytes, int ms)
    {
        size_t sent = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (sent < bytes.size() && std::chrono::steady_clock::now() < end) {
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n <= 0)
                break;
            sent += static_cast<size_t>(n);
        }
        return sent;
    }
    bool connected = false;

private:
    int fd_ = -1;
};

Bytes ReadBlockRequests(int count)
{
    Bytes stream;
    for (int i = 0; i < count; ++i) {
        const Bytes payload = CWireWriter().U32(kSimFlashBase).U32(4096).bytes;
        EncodeWireFrame(kOpTargetReadBlock, 0, static_cast<uint32_t>(i + 1), payload.data(), payload.size(),
                        false, stream);
    }
    return stream;
}

TEST(SimLinkService, AHostThatSendsAndNeverReadsIsHeldBackByItsOwnTransport)
{
    CSimProbeUnderTest sim;
    CRawClient client(sim.link->Port());
    ASSERT_TRUE(client.connected);
    // A million requests for 4 KiB each would queue 4 GiB of replies.
    const int count = 1000000;
    const Bytes requests = ReadBlockRequests(count);
    client.SendFor(requests, 2000);
    // Let the simulator answer what it will, until it is held back.
    uint32_t answered = 0;
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (sim.link->RequestsReceived() == answered && answered > 0)
            break;
        answered = sim.link->RequestsReceived();
    }
    EXPECT_GT(answered, 0u);
    EXPECT_LT(answered, static_cast<uint32_t>(count / 2));
    const size_t bound = CSimLink::kMaxQueuedReplyBytes + 2 * (kMaxWirePayload + kWireHeaderSize) + 65536 +
                         CSimLink::kMaxQueuedRequests * 32;
    EXPECT_LE(sim.link->PeakQueuedBytes(), bound);
    EXPECT_GT(sim.link->PeakQueuedBytes(), 0u);
}

} // namespace
