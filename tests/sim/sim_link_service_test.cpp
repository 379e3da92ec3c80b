// The simulated probe as a network service: how it copes with hosts that
// misbehave on the wire.

#include "sim_link_test.h"

#include "probe/probe_status.h"
#include "probe/link/wire_packet.h"
#include "probe/link/wire_payload.h"

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <mutex>
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
    // True when the simulator closes the connection within `ms`.
    bool ClosedWithin(int ms)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                return true;
        }
        return false;
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
        EncodeWirePacket(kOpTargetReadBlock, 0, static_cast<uint32_t>(i + 1), payload.data(), payload.size(),
                        false, stream);
    }
    return stream;
}

TEST(SimLinkService, AHostThatSendsAndNeverReadsIsHeldBackByItsOwnTransport)
{
    CSimFixture sim = CSimFixture::OnRamBoard(CSimFixture::Tcp());
    CRawClient client(sim.Port());
    ASSERT_TRUE(client.connected);
    // A million requests for 4 KiB each would queue 4 GiB of replies.
    const int count = 1000000;
    const Bytes requests = ReadBlockRequests(count);
    client.SendFor(requests, 2000);
    // Let the simulator answer what it will, until it is held back.
    uint32_t answered = 0;
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (sim.Link().RequestsReceived() == answered && answered > 0)
            break;
        answered = sim.Link().RequestsReceived();
    }
    EXPECT_GT(answered, 0u);
    EXPECT_LT(answered, static_cast<uint32_t>(count / 2));
    const size_t bound = CSimLink::kMaxQueuedReplyBytes + 2 * (kMaxWirePayload + kWireHeaderSize) + 65536 +
                         CSimLink::kMaxQueuedRequests * 32;
    EXPECT_LE(sim.Link().PeakQueuedBytes(), bound);
    EXPECT_GT(sim.Link().PeakQueuedBytes(), 0u);
}

TEST(SimLinkService, RequestsOfAHostThatHungUpAreDroppedUnanswered)
{
    // Ten init lists of one 200 ms DELAY each: two seconds of probe work,
    // all read by the probe before the host hangs up.
    CSimFixture sim = CSimFixture::OnRamBoard(CSimFixture::Tcp());
    const int count = 10;
    {
        CRawClient client(sim.Port());
        ASSERT_TRUE(client.connected);
        Bytes stream;
        for (int i = 0; i < count; ++i) {
            const Bytes payload = CWireWriter().U32(0).U16(1).U16(kInitDelay).U32(0).U32(200).bytes;
            EncodeWirePacket(kOpTargetLoadInitList, 0, static_cast<uint32_t>(i + 1), payload.data(), payload.size(),
                            false, stream);
        }
        ASSERT_EQ(client.SendFor(stream, 2000), stream.size());
        for (int i = 0; i < 200 && sim.Link().RequestsReceived() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_GT(sim.Link().RequestsReceived(), 0u);
    }
    // The probe finishes the list in hand and drops the rest: the next host
    // does not wait behind them.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_LE(sim.Link().RequestsReceived(), 2u);
}

// A simulator with short time limits whose log lines a test can read.
class SimService : public ::testing::Test {
protected:
    std::string Channel() const { return sim.ChannelText(); }
    bool Logged(const std::string& part)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& line : log_)
            if (line.find(part) != std::string::npos)
                return true;
        return false;
    }
    // A good host still gets served.
    void ExpectServed()
    {
        CLinkLibrary library;
        ASSERT_EQ(library.LinkOpen(Channel()), 0);
        uint32_t value = 1;
        EXPECT_EQ(library.TargetRead32(kSimRamBase, value), 0);
        EXPECT_EQ(value, 0u);
        library.LinkClose();
    }
    CSimFixture::SOptions Options()
    {
        CSimFixture::SOptions options = CSimFixture::Tcp();
        CSimLink::SLimits limits;
        limits.helloMs = 300;
        limits.stallMs = 300;
        options.limits = limits;
        options.log = [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            log_.push_back(line);
        };
        return options;
    }

    // The log outlives the link, whose thread writes to it until it stops.
    std::mutex mutex_;
    std::vector<std::string> log_;
    CSimFixture sim = CSimFixture::OnRamBoard(Options(), {{kSimRamBase, kSimRamSize, 0x00}});
    CSimLink& link = sim.Link();
};

TEST_F(SimService, ASecondHostIsRefusedWhileOneIsServed)
{
    CLinkLibrary first;
    ASSERT_EQ(first.LinkOpen(Channel()), 0);
    CRawClient second(link.Port());
    ASSERT_TRUE(second.connected);
    EXPECT_TRUE(second.ClosedWithin(2000));
    EXPECT_TRUE(Logged("another host is connected"));
    // A host that speaks is told why, not left with a lost connection.
    CLinkLibrary third;
    EXPECT_EQ(third.LinkOpen(Channel()), kStatusProbeBusy);
    EXPECT_EQ(third.LinkErrorText(kStatusProbeBusy), "The probe is busy with another host.");
    uint32_t value = 1;
    EXPECT_EQ(first.TargetRead32(kSimRamBase, value), 0);
    first.LinkClose();
    // The next host after a hang-up is served at once, however soon it comes.
    ExpectServed();
    ExpectServed();
}

TEST_F(SimService, AHostThatHangsUpWithRequestsUnreadDoesNotKeepTheNextOneOut)
{
    {
        CRawClient client(link.Port());
        ASSERT_TRUE(client.connected);
        // Requests the simulator is held back from reading: they are still
        // in its socket when the host hangs up.
        client.SendFor(ReadBlockRequests(100000), 1000);
        uint32_t answered = 0;
        for (int i = 0; i < 50; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (link.RequestsReceived() == answered && answered > 0)
                break;
            answered = link.RequestsReceived();
        }
    }
    ExpectServed();
}

TEST_F(SimService, HostsThatDoNotSpeakTheProtocolAreDropped)
{
    Bytes hugeLength = {kWireMagic0, kWireMagic1, kOpTargetReadBlock, 0, 0, 0, 0, 1, 0x7F, 0xFF, 0xFF, 0xFF};
    Bytes unfinished;
    const Bytes payload = CWireWriter().U32(0).U32(4).bytes;
    EncodeWirePacket(kOpTargetReadBlock, 0, 1, payload.data(), payload.size(), false, unfinished);
    unfinished.resize(unfinished.size() - 3);
    const Bytes validFrame = [&] {
        Bytes b;
        EncodeWirePacket(kOpTargetReadBlock, 0, 1, payload.data(), payload.size(), false, b);
        return b;
    }();
    const struct {
        const char* what;
        Bytes bytes;
        const char* logged;
    } cases[] = {
        {"garbage", {'G', 'E', 'T', ' ', '/', '\r', '\n'}, "bytes that start no packet"},
        {"a declared length of 2 GiB", hugeLength, "bytes that start no packet"},
        {"silence", {}, "no packet since connecting"},
        {"half a first packet", unfinished, "no packet since connecting"},
        {"a packet, then half a packet", [&] {
             Bytes b = validFrame;
             b.insert(b.end(), unfinished.begin(), unfinished.end());
             return b;
         }(), "a packet left unfinished"},
    };
    for (const auto& c : cases) {
        CRawClient client(link.Port());
        ASSERT_TRUE(client.connected) << c.what;
        if (!c.bytes.empty()) {
            EXPECT_EQ(client.SendFor(c.bytes, 1000), c.bytes.size()) << c.what;
        }
        EXPECT_TRUE(client.ClosedWithin(3000)) << c.what;
        EXPECT_TRUE(Logged(c.logged)) << c.what;
        ExpectServed();
    }
}

} // namespace

// A serial line hands a reply over byte by byte: the first byte when its own
// line time has passed, each further one a byte time later, so that a host
// waiting for a reply's header gets it long before the end of a long reply.
TEST(SimLinkLine, DeliversAReplyByteByByteAsARealLineDoes)
{
    using Clock = CSimLink::Clock;
    const Clock::time_point first = Clock::time_point() + std::chrono::seconds(10);
    const auto byteTime = std::chrono::microseconds(1042); // 9600 baud
    const struct {
        Clock::duration after;
        size_t due;
    } cases[] = {
        {-std::chrono::microseconds(1), 0}, {{}, 1}, {byteTime * 3, 4}, {byteTime * 3 + byteTime / 2, 4},
        {byteTime * 299, 300}, {std::chrono::seconds(60), 300},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CSimLink::DueBytes(first, byteTime, 300, first + c.after), c.due)
            << std::chrono::duration_cast<std::chrono::microseconds>(c.after).count();
    // Without a line speed the whole reply goes at once.
    EXPECT_EQ(CSimLink::DueBytes(first, Clock::duration::zero(), 300, first), 300u);
}
