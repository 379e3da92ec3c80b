#include "cli/cli_probe.h"

#include "probe/link/link_channel.h"

#include "sim/board_file.h"
#include "sim/probe_sim.h"
#include "sim/sim_board_model.h"
#include "sim/sim_link.h"

#include <cstdlib>

CCliProbe::CCliProbe(const CSettings& settings) : library_(settings) {}

CCliProbe::~CCliProbe()
{
    library_.LinkClose();
    if (gdb_)
        gdb_->LinkClose();
    if (probe_)
        probe_->Abort();
    if (link_)
        link_->Stop();
}

bool CCliProbe::UseNetworkProbe(const std::string& hostPort, std::string& error)
{
    const size_t colon = hostPort.rfind(':');
    const std::string host = hostPort.substr(0, colon);
    if (host.empty() || host.find(' ') != std::string::npos) {
        error = "--probe wants HOST or HOST:PORT";
        return false;
    }
    if (colon != std::string::npos) {
        const std::string port = hostPort.substr(colon + 1);
        char* end = nullptr;
        const unsigned long value = std::strtoul(port.c_str(), &end, 10);
        if (port.empty() || port.find_first_not_of("0123456789") != std::string::npos || *end != '\0' ||
            value == 0 || value > 65535) {
            error = "--probe: the port must be a number from 1 to 65535";
            return false;
        }
    }
    override_ = "NETWORK " + hostPort + " 1";
    return true;
}

bool CCliProbe::UseProbe(const std::string& address, std::string& error)
{
    if (address.rfind("gdb:", 0) == 0) {
        std::string channel;
        if (!CGdbProbeLibrary::ChannelTextOf(address.substr(4), channel)) {
            error = "--probe " + address + ": a GDB server is gdb:HOST:PORT, the port a number from 1 to 65535";
            return false;
        }
        gdb_ = std::make_unique<CGdbProbeLibrary>();
        override_ = channel;
        return true;
    }
    const size_t at = address.rfind('@');
    if (address.empty() || address[0] != '/' || at == std::string::npos)
        return UseNetworkProbe(address, error);
    const std::string device = address.substr(0, at);
    const std::string baud = address.substr(at + 1);
    long rate = 0;
    for (int index = 0; BaudOfIndex(index) != 0; ++index)
        if (baud == std::to_string(BaudOfIndex(index)))
            rate = BaudOfIndex(index);
    if (device.size() < 2 || device.find(' ') != std::string::npos || rate == 0) {
        error = "--probe " + address + ": a serial probe is DEVICE@BAUD, the baud rate one of 9600, 19200, 38400, "
                "57600 and 115200";
        return false;
    }
    // The link opens serial ports by COM number: this run's COM1 is the device.
    library_.Settings().Set(ESetting::SerialDevice1, device);
    override_ = "COM1 " + baud;
    return true;
}

bool CCliProbe::StartSimulator(const std::string& board, std::string& error)
{
    CBoardFile file;
    if (board == "default") {
        file = CBoardFile::Default();
    } else if (!CBoardFile::Read(board, file, error)) {
        error = board + ": " + error;
        return false;
    }
    board_ = std::make_unique<CSimBoardModel>();
    if (!board_->Build(file, error)) {
        error = board + ": " + error;
        return false;
    }
    probe_ = std::make_unique<CProbeSim>(*board_);
    link_ = std::make_unique<CSimLink>(*probe_);
    if (link_->ListenTcp("127.0.0.1", 0) != 0 || link_->Start() != 0) {
        error = "the simulated probe cannot listen on 127.0.0.1";
        return false;
    }
    override_ = "NETWORK 127.0.0.1:" + std::to_string(link_->Port()) + " 1";
    return true;
}

std::string CCliProbe::ChannelText(const std::string& projectChannelText) const
{
    return override_.empty() ? projectChannelText : override_;
}
