#include "support/sim_fixture.h"

#include "probe/link/fd_transport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

CClock& LinkClock(const CSimFixture::SOptions& options)
{
    return options.linkClock ? *options.linkClock : CSystemClock::Instance();
}

} // namespace

CSimFixture::SOptions CSimFixture::Tcp(const SSimFaults& faults, const SProbeSimConfig& config)
{
    SOptions options;
    options.transport = ETransport::Tcp;
    options.faults = faults;
    options.config = config;
    return options;
}

CSimFixture::CSimFixture(const std::string& boardText) : CSimFixture(boardText, SOptions{}) {}

CSimFixture::CSimFixture() : CSimFixture(SOptions{}) {}

CSimFixture::CSimFixture(const SOptions& options) : CSimFixture(CBoardFile::DefaultText(), options) {}

CSimFixture::CSimFixture(const std::string& boardText, const SOptions& options)
    : library_(CLinkLibrary::DefaultSettings(), LinkClock(options))
{
    model_ = std::make_unique<CSimBoardModel>(options.clock);
    board_ = model_.get();
    CBoardFile file;
    std::string error;
    if (!CBoardFile::Parse(boardText, file, error) || !model_->Build(file, error))
        error = "board: " + error;
    Start(options, error);
}

CSimFixture::CSimFixture(SRamBoardTag, const SOptions& options, const std::vector<SRegion>& regions)
    : library_(CLinkLibrary::DefaultSettings(), LinkClock(options))
{
    ramBoard_ = std::make_unique<CProbeSimRamBoard>();
    board_ = ramBoard_.get();
    std::string error;
    for (const SRegion& region : regions)
        if (!ramBoard_->AddRegion(region.base, region.size, region.fill))
            error = "board: RAM regions overlap";
    Start(options, error);
}

CSimFixture CSimFixture::OnRamBoard(const SOptions& options, const std::vector<SRegion>& regions)
{
    return CSimFixture(SRamBoardTag{}, options, regions);
}

CSimFixture CSimFixture::OnRamBoard(const SOptions& options)
{
    return OnRamBoard(options, {{kSimFlashBase, kSimFlashSize, 0xFF}, {kSimRamBase, kSimRamSize, 0x00}});
}

void CSimFixture::Start(const SOptions& options, const std::string& boardError)
{
    probe_ = std::make_unique<CProbeSim>(*board_, options.config);
    link_ = std::make_unique<CSimLink>(*probe_, options.faults);
    if (options.limits)
        link_->SetLimits(*options.limits);
    if (options.log)
        link_->SetLog(options.log);

    if (!boardError.empty())
        return Fail(boardError, options);
    int fds[2] = {-1, -1};
    switch (options.transport) {
    case ETransport::SocketPair:
    case ETransport::SerialPair:
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
            return Fail("socketpair failed", options);
        link_->ServeFd(fds[1], options.transport == ETransport::SerialPair);
        break;
    case ETransport::Tcp:
        if (link_->ListenTcp("127.0.0.1", 0) != 0)
            return Fail("the simulated link cannot listen on 127.0.0.1", options);
        tcp_ = true;
        break;
    case ETransport::Pty:
        ptyPath_ = link_->OpenPty();
        if (ptyPath_.empty())
            return Fail("the simulated link could not make a pseudo-terminal", options);
        break;
    }
    if (link_->Start() != 0) {
        if (fds[0] >= 0)
            close(fds[0]);
        return Fail("the simulated link did not start", options);
    }
    if (fds[0] >= 0) {
        const bool serial = options.transport == ETransport::SerialPair;
        const int status = library_.LinkOpenTransport(
            std::make_unique<CFdTransport>(fds[0], true, serial, serial ? options.bytesPerSecond : 0, library_.Clock()));
        if (status != 0)
            return Fail("LinkOpenTransport: " + library_.LinkErrorText(status), options);
    }
}

void CSimFixture::Fail(const std::string& error, const SOptions& options)
{
    error_ = error;
    if (options.failTestOnError)
        ADD_FAILURE() << "the simulated probe did not start: " << error;
}

CSimFixture::~CSimFixture()
{
    library_.LinkClose();
    link_->Stop();
}

CSimBoardModel& CSimFixture::Board()
{
    if (!model_)
        throw std::logic_error("the fixture runs the RAM board, not a board file's board");
    return *model_;
}

CProbeSimRamBoard& CSimFixture::RamBoard()
{
    if (!ramBoard_)
        throw std::logic_error("the fixture runs a board file's board, not the RAM board");
    return *ramBoard_;
}

std::string CSimFixture::ChannelText() const
{
    return tcp_ ? "NETWORK 127.0.0.1:" + std::to_string(link_->Port()) + " 1" : "";
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
    if (ramBoard_)
        return ramBoard_->Peek(address, length, bytes);
    bytes.assign(length, 0);
    for (uint32_t i = 0; i < length; ++i)
        if (!model_->Peek(address + i, bytes[i]))
            return false;
    return true;
}

std::vector<uint8_t> CSimFixture::Peek(uint32_t address, uint32_t length)
{
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(Peek(address, length, bytes)) << "no memory in 0x" << std::hex << address << "+0x" << length;
    return bytes;
}

uint8_t CSimFixture::PeekByte(uint32_t address)
{
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(Peek(address, 1, bytes)) << "no memory at 0x" << std::hex << address;
    return bytes.empty() ? 0 : bytes[0];
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

void CSimFixture::Poke(uint32_t address, const std::vector<uint8_t>& bytes)
{
    CProbeSimRamBoard& board = RamBoard();
    auto lock = link_->LockProbe();
    EXPECT_TRUE(board.Poke(address, bytes)) << "no RAM in 0x" << std::hex << address << "+0x" << bytes.size();
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
