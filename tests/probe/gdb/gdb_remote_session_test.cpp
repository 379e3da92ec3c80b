#include "probe/gdb/gdb_packet_codec.h"
#include "probe/gdb/gdb_remote_session.h"
#include "probe/gdb/gdb_target.h"
#include "probe/link/fd_transport.h"
#include "probe/probe_status.h"

#include <gtest/gtest.h>

#include <functional>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// The server's end of a socket pair, driven by a test's script on a thread
// of its own: it reads what the host sends and answers with raw bytes, so a
// test can send a wrong checksum, a '-' or nothing at all.
class CScriptedServer {
public:
    explicit CScriptedServer(std::function<void(CScriptedServer&)> script)
    {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
            return;
        host_ = fds[0];
        server_ = fds[1];
        thread_ = std::thread([this, script = std::move(script)] {
            script(*this);
            if (!closed_)
                Close();
        });
    }
    ~CScriptedServer()
    {
        if (thread_.joinable())
            thread_.join();
        if (server_ >= 0 && !closed_)
            close(server_);
    }

    // The host's end, for its transport (which then owns it).
    int TakeHostEnd()
    {
        const int fd = host_;
        host_ = -1;
        return fd;
    }

    // The next whole packet the host sent (its payload, unescaped), skipping
    // acknowledgements; the acknowledgement bytes seen on the way are kept
    // in `acks`. Empty when nothing came within two seconds.
    std::string NextPacket()
    {
        for (;;) {
            const size_t dollar = input_.find('$');
            if (dollar != std::string::npos) {
                for (size_t i = 0; i < dollar; ++i)
                    acks += input_[i];
                const size_t hash = input_.find('#', dollar);
                if (hash != std::string::npos && hash + 2 < input_.size()) {
                    std::string payload;
                    CGdbPacketCodec::Expand(std::string_view(input_).substr(dollar + 1, hash - dollar - 1), payload,
                                            1 << 20);
                    input_.erase(0, hash + 3);
                    return payload;
                }
            }
            if (!ReadMore())
                return {};
        }
    }
    // The next acknowledgement byte the host sent ('+' or '-'), 0 if none came.
    char NextAck()
    {
        for (;;) {
            for (size_t i = 0; i < input_.size(); ++i) {
                if (input_[i] == '+' || input_[i] == '-') {
                    const char c = input_[i];
                    input_.erase(0, i + 1);
                    return c;
                }
            }
            if (!ReadMore())
                return 0;
        }
    }
    void SendRaw(const std::string& bytes) { (void)!write(server_, bytes.data(), bytes.size()); }
    void Close()
    {
        closed_ = true;
        close(server_);
    }

    std::string acks;

private:
    bool ReadMore()
    {
        pollfd pfd{server_, POLLIN, 0};
        if (poll(&pfd, 1, 2000) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = read(server_, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        input_.append(buffer, static_cast<size_t>(n));
        return true;
    }

    int host_ = -1;
    int server_ = -1;
    bool closed_ = false;
    std::string input_;
    std::thread thread_;
};

std::unique_ptr<CGdbRemoteSession> SessionOn(CScriptedServer& server)
{
    return std::make_unique<CGdbRemoteSession>(
        std::make_unique<CFdTransport>(server.TakeHostEnd(), true, false, 0, CSystemClock::Instance()),
        CSystemClock::Instance());
}

} // namespace

TEST(GdbRemoteSession, APacketRefusedWithMinusIsSentAgainAndABadReplyIsAskedForAgain)
{
    std::string firstTry;
    std::string secondTry;
    CScriptedServer server([&](CScriptedServer& s) {
        firstTry = s.NextPacket();
        s.SendRaw("-");  // as if the bytes came damaged
        secondTry = s.NextPacket();
        s.SendRaw("+$00ff#00");  // the reply with a wrong checksum
        if (s.NextAck() != '-')
            return;
        s.SendRaw(CGdbPacketCodec::Frame("00ff"));
        s.NextAck();
    });
    auto session = SessionOn(server);
    std::string reply;
    ASSERT_EQ(session->Transact("m80000000,2", reply, 1000), kStatusOk);
    EXPECT_EQ(reply, "00ff");
    EXPECT_EQ(firstTry, "m80000000,2");
    EXPECT_EQ(secondTry, "m80000000,2");
    EXPECT_EQ(session->Retries(), 2);
}

TEST(GdbRemoteSession, FailuresEndWithTheLinksStatusesAndBoundedRetries)
{
    struct SCase {
        const char* name;
        std::function<void(CScriptedServer&)> script;
        int status;
    };
    const SCase cases[] = {
        {"connection dropped before the reply",
         [](CScriptedServer& s) {
             s.NextPacket();
             s.SendRaw("+$00");
             s.Close();
         },
         kStatusConnectionLost},
        {"every reply damaged",
         [](CScriptedServer& s) {
             s.NextPacket();
             s.SendRaw("+");
             for (int i = 0; i <= CGdbRemoteSession::kMaxRetries; ++i) {
                 s.SendRaw("$00#00");
                 if (s.NextAck() != '-')
                     return;
             }
         },
         kStatusFramingError},
        {"every packet refused",
         [](CScriptedServer& s) {
             for (int i = 0; i <= CGdbRemoteSession::kMaxRetries; ++i) {
                 if (s.NextPacket().empty())
                     return;
                 s.SendRaw("-");
             }
         },
         kStatusFramingError},
        {"acknowledged, never answered",
         [](CScriptedServer& s) {
             s.NextPacket();
             s.SendRaw("+");
             s.NextPacket();  // waits until the host gives up and closes
         },
         kStatusTimeout},
    };
    for (const SCase& c : cases) {
        CScriptedServer server(c.script);
        auto session = SessionOn(server);
        std::string reply;
        EXPECT_EQ(session->Transact("g", reply, 200), c.status) << c.name;
        session.reset();  // closes the host's end: the script ends
    }
    EXPECT_FALSE(ProbeStatusText(kStatusConnectionLost).empty());
}

TEST(GdbRemoteSession, MonitorOutputIsGatheredAndAStaleStopIsAcknowledged)
{
    CScriptedServer server([](CScriptedServer& s) {
        s.NextPacket();
        // A stop reply left from before, then the acknowledgement.
        s.SendRaw(CGdbPacketCodec::Frame("S05"));
        if (s.NextAck() != '+')
            return;
        s.SendRaw("+");
        s.SendRaw(CGdbPacketCodec::Frame(std::string("O").append(CGdbPacketCodec::Hex("mww 0x0 "))));
        s.SendRaw(CGdbPacketCodec::Frame(std::string("O").append(CGdbPacketCodec::Hex("done\n"))));
        s.SendRaw(CGdbPacketCodec::Frame("OK"));
        s.NextAck();
        s.NextAck();
        s.NextAck();
    });
    auto session = SessionOn(server);
    CGdbTarget target(*session, 1000);
    std::string output;
    ASSERT_EQ(target.Monitor("mww 0x0 1", output), kStatusOk);
    EXPECT_EQ(output, "mww 0x0 done\n");
}

TEST(GdbTargetDescription, RegistersAreNumberedInOrderOrByRegnumAcrossIncludes)
{
    const std::string top = R"(<?xml version="1.0"?><!DOCTYPE target SYSTEM "gdb-target.dtd">
<target><architecture>arm</architecture><xi:include href="core.xml"/><xi:include href="vfp.xml"/></target>)";
    const std::string core = R"(<feature name="org.gnu.gdb.arm.core">
<reg name="r0" bitsize="32"/><reg name="r1" bitsize="32" type="uint32"/>
<reg name="pc" bitsize="32" type="code_ptr"/><reg name="cpsr" bitsize="32" regnum="25"/></feature>)";
    const std::string vfp = R"(<feature><reg name='d0' bitsize='64'/></feature>)";
    CGdbTargetDescription description;
    ASSERT_TRUE(description.Parse(top, [&](const std::string& name, std::string& text) {
        text = name == "core.xml" ? core : name == "vfp.xml" ? vfp : "";
        return !text.empty();
    }));
    ASSERT_EQ(description.Registers().size(), 5u);
    EXPECT_EQ(description.Find("r1")->number, 1u);
    EXPECT_EQ(description.Find("pc")->number, 2u);
    EXPECT_EQ(description.Find("cpsr")->number, 25u);
    EXPECT_EQ(description.Find("d0")->number, 26u);
    EXPECT_EQ(description.Find("d0")->bits, 64u);

    const auto none = [](const std::string&, std::string&) { return false; };
    EXPECT_FALSE(description.Parse("<target></target>", none));
    EXPECT_FALSE(description.Parse(R"(<target><reg name="x" bitsize="12"/></target>)", none));
    EXPECT_FALSE(description.Parse(R"(<target><xi:include href="missing.xml"/></target>)", none));
    // A description that includes itself ends at the depth bound.
    EXPECT_FALSE(description.Parse(R"(<xi:include href="self.xml"/>)", [](const std::string&, std::string& text) {
        text = R"(<xi:include href="self.xml"/>)";
        return true;
    }));
}
