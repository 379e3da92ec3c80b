#include "support/sim_fixture.h"

#include "probe/link/fd_transport.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

CSimFixture::CSimFixture(const std::string& boardText) : CSimFixture(boardText, SOptions{}) {}

CSimFixture::CSimFixture(const std::string& boardText, const SOptions& options)
    : library_(CLinkLibrary::DefaultSettings(), options.linkClock ? *options.linkClock : CSystemClock::Instance())
{
    board_ = std::make_unique<CSimBoardModel>(options.clock);
    probe_ = std::make_unique<CProbeSim>(*board_, options.config);
    link_ = std::make_unique<CSimLink>(*probe_, options.faults);

    CBoardFile file;
    std::string error;
    if (!CBoardFile::Parse(boardText, file, error) || !board_->Build(file, error)) {
        error_ = "board: " + error;
        return;
    }
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        error_ = "socketpair failed";
        return;
    }
    link_->ServeFd(fds[1], false);
    if (options.tcp) {
        if (link_->ListenTcp("127.0.0.1", 0) != 0) {
            close(fds[0]);
            error_ = "the simulated link cannot listen on 127.0.0.1";
            return;
        }
        channelText_ = "NETWORK 127.0.0.1:" + std::to_string(link_->Port()) + " 1";
    }
    if (link_->Start() != 0) {
        close(fds[0]);
        error_ = "the simulated link did not start";
        return;
    }
    const int status = library_.LinkOpenTransport(std::make_unique<CFdTransport>(fds[0], true, false, 0, library_.Clock()));
    if (status != 0)
        error_ = "LinkOpenTransport: " + library_.LinkErrorText(status);
}

CSimFixture::~CSimFixture()
{
    library_.LinkClose();
    link_->Stop();
}

uint32_t CSimFixture::HandshakeRequests()
{
    static const uint32_t count = [] {
        CSimFixture probe("ram 0x40000000 4K\n");
        return probe.Ok() ? probe.RequestsReceived() : 0u;
    }();
    return count;
}

bool CSimFixture::Peek(uint32_t address, uint32_t length, std::vector<uint8_t>& bytes)
{
    auto lock = link_->LockProbe();
    bytes.assign(length, 0);
    for (uint32_t i = 0; i < length; ++i)
        if (!board_->Peek(address + i, bytes[i]))
            return false;
    return true;
}

uint8_t CSimFixture::PeekByte(uint32_t address)
{
    auto lock = link_->LockProbe();
    uint8_t value = 0;
    EXPECT_TRUE(board_->Peek(address, value)) << "no memory at 0x" << std::hex << address;
    return value;
}

bool CSimFixture::AllBytesAre(uint32_t address, uint32_t length, uint8_t value)
{
    std::vector<uint8_t> bytes;
    if (!Peek(address, length, bytes))
        return false;
    for (uint8_t b : bytes)
        if (b != value)
            return false;
    return true;
}

int CSimFixture::Program(uint8_t algorithm, uint8_t busBytes, uint32_t p1, uint32_t address,
                         const std::vector<uint8_t>& data, uint32_t workspace)
{
    auto lock = link_->LockProbe();
    if (const int setup = board_->FlashSetup(algorithm, busBytes, p1, workspace, 0))
        return setup;
    uint32_t failAddress = 0;
    const int status = board_->FlashProgram(address, data.data(), static_cast<uint32_t>(data.size()), failAddress);
    board_->FlashSetup(0, 0, 0, 0, 0);
    return status;
}

bool CSimFixture::BusWrite(uint32_t address, int widthBytes, uint32_t value)
{
    auto lock = link_->LockProbe();
    return board_->BusWrite(address, widthBytes, value);
}
