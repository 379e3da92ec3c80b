// qdx7000-sim: a simulated QDX7000 probe with a simulated target board,
// reached over TCP (127.0.0.1 by default) or a pseudo-terminal.

#include "common/standard_descriptors.h"
#include "sim/probe_sim.h"
#include "sim/probe_sim_ram_board.h"
#include "sim/sim_faults.h"
#include "sim/sim_link.h"

#include "sim/board_file.h"
#include "sim/sim_board_model.h"

#include "common/settings.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void Usage(FILE* out, uint16_t defaultPort)
{
    std::fprintf(out,
                 "usage: qdx7000-sim [options]\n"
                 "  --listen ADDR          IPv4 address to listen on (default 127.0.0.1)\n"
                 "  --port N               TCP port (default %u; 0 picks a free one)\n"
                 "  --no-tcp               do not listen on TCP\n"
                 "  --pty                  offer a pseudo-terminal as a serial line\n"
                 "  --board FILE|default   simulated board described by FILE (default: the built-in\n"
                 "                         demo board, also used when no board is named)\n"
                 "  --ram BASE:SIZE[:FILL] a board of RAM only, one region per option (hexadecimal;\n"
                 "                         the fill byte defaults to FF, so it programs like erased flash)\n"
                 "  --loader               power up into the loader instead of the firmware\n"
                 "  --serial TEXT          serial number (default 1234560001)\n"
                 "  --loader-version N     loader version (default 105; 0 plays 'no probe')\n"
                 "  --firmware-version N   firmware version (default 113)\n"
                 "  --logic-version N      logic version in the logic's signature (default 112)\n"
                 "  --firmware-kind N      firmware kind reported to TargetConnect (default 10)\n"
                 "loader faults:\n"
                 "  --logic-device-code N  device code of the logic device (default 19)\n"
                 "  --stuck-fuse ROW:FUSE  a logic fuse that does not program (stays 1)\n"
                 "  --weak-fuse ROW:FUSE   a logic fuse whose second (erased-margin) read comes\n"
                 "                         back flipped\n"
                 "  --stuck-ues-fuse N     fuse N (0..119) of the logic's signature does not\n"
                 "                         program (stays 1)\n"
                 "  --weak-setup-byte N    byte N of the network setup sector reads back wrong\n"
                 "link faults (N counts request frames from 1, the handshake included):\n"
                 "  --refuse               refuse every TCP connection\n"
                 "  --drop-reply N         do not answer request N\n"
                 "  --delay-reply N:MS     answer request N MS milliseconds late\n"
                 "  --wrong-echo N         spoil the first byte (or operation) of reply N\n"
                 "  --wrong-length N       make reply N one byte too long\n"
                 "  --silent-from N        answer no request from N on (a probe that hangs)\n"
                 "  --cut N                cut the connection instead of answering request N\n"
                 "  --bandwidth B          link speed in bytes per second each way\n"
                 "  --rtt MS               link round-trip time in milliseconds\n"
                 "  --version              the program's version\n"
                 "Prints \"board NAME\", then \"listening ADDR:PORT\" and \"pty PATH\" when ready;\n"
                 "runs until\n"
                 "interrupted or terminated.\n",
                 static_cast<unsigned>(defaultPort));
}

bool ParseNumber(const char* text, unsigned long max, unsigned long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text, &end, 10);
    return end && end != text && *end == '\0' && errno == 0 && value <= max;
}

bool ParseDouble(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end && end != text && *end == '\0' && value >= 0;
}

struct SRamRegion {
    uint32_t base;
    uint32_t size;
    uint8_t fill;
};

bool ParseRam(const std::string& text, SRamRegion& region)
{
    const size_t first = text.find(':');
    if (first == std::string::npos)
        return false;
    const size_t second = text.find(':', first + 1);
    auto hex = [](const std::string& s, unsigned long long max, unsigned long long& v) {
        if (s.empty() || s.size() > 8 || s.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        v = std::strtoull(s.c_str(), nullptr, 16);
        return v <= max;
    };
    unsigned long long base = 0, size = 0, fill = 0xFF;
    if (!hex(text.substr(0, first), 0xFFFFFFFF, base) ||
        !hex(text.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1),
             0xFFFFFFFF, size) ||
        (second != std::string::npos && !hex(text.substr(second + 1), 0xFF, fill)))
        return false;
    region = {static_cast<uint32_t>(base), static_cast<uint32_t>(size), static_cast<uint8_t>(fill)};
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    OpenClosedStandardDescriptors();
    // The one place that reads the environment: the default port is the
    // probe port that tarvel-cli would use (TARVEL_PROBE_PORT).
    const CSettings settings;
    const uint16_t defaultPort = settings.ProbePort();
    std::string listenAddress = "127.0.0.1";
    unsigned long port = defaultPort;
    bool tcp = true;
    bool pty = false;
    std::string boardFile;
    std::string boardName = "RAM only";
    std::vector<SRamRegion> ram;
    SProbeSimConfig config;
    SSimFaults faults;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto bad = [&]() {
            std::fprintf(stderr, "qdx7000-sim: bad or missing value for %s\n", arg.c_str());
            return 2;
        };
        unsigned long n = 0;
        if (arg == "--help" || arg == "-h") {
            Usage(stdout, defaultPort);
            return 0;
        } else if (arg == "--version") {
            std::printf("qdx7000-sim %s\n", TARVEL_VERSION);
            return 0;
        } else if (arg == "--no-tcp") {
            tcp = false;
        } else if (arg == "--pty") {
            pty = true;
        } else if (arg == "--loader") {
            config.startInLoader = true;
        } else if (arg == "--refuse") {
            faults.refuseConnection = true;
        } else if (!value) {
            std::fprintf(stderr, "qdx7000-sim: unknown option or missing value: %s\n", arg.c_str());
            Usage(stderr, defaultPort);
            return 2;
        } else {
            ++i;
            if (arg == "--listen") {
                listenAddress = value;
            } else if (arg == "--port") {
                if (!ParseNumber(value, 65535, port))
                    return bad();
            } else if (arg == "--board") {
                boardFile = value;
            } else if (arg == "--ram") {
                SRamRegion region{};
                if (!ParseRam(value, region))
                    return bad();
                ram.push_back(region);
            } else if (arg == "--serial") {
                config.serialNumber = value;
                if (config.serialNumber.size() > 255)
                    return bad();
            } else if (arg == "--loader-version") {
                if (!ParseNumber(value, 65535, n))
                    return bad();
                config.loaderVersion = static_cast<uint16_t>(n);
            } else if (arg == "--firmware-version") {
                if (!ParseNumber(value, 65535, n))
                    return bad();
                config.firmwareVersion = static_cast<uint16_t>(n);
            } else if (arg == "--logic-version") {
                if (!ParseNumber(value, 65535, n))
                    return bad();
                config.logicVersion = static_cast<uint16_t>(n);
            } else if (arg == "--firmware-kind") {
                if (!ParseNumber(value, 65535, n))
                    return bad();
                config.firmwareKind = static_cast<uint16_t>(n);
            } else if (arg == "--logic-device-code") {
                if (!ParseNumber(value, 255, n))
                    return bad();
                config.logicDeviceCode = static_cast<uint8_t>(n);
            } else if (arg == "--stuck-fuse" || arg == "--weak-fuse") {
                const std::string text = value;
                const size_t colon = text.find(':');
                unsigned long row = 0, fuse = 0;
                if (colon == std::string::npos || !ParseNumber(text.substr(0, colon).c_str(), 133, row) ||
                    !ParseNumber(text.substr(colon + 1).c_str(), 239, fuse))
                    return bad();
                (arg == "--stuck-fuse" ? config.stuckFuseRow : config.weakFuseRow) = static_cast<int>(row);
                (arg == "--stuck-fuse" ? config.stuckFuse : config.weakFuse) = static_cast<int>(fuse);
            } else if (arg == "--stuck-ues-fuse") {
                if (!ParseNumber(value, 119, n))
                    return bad();
                config.stuckUesFuse = static_cast<int>(n);
            } else if (arg == "--weak-setup-byte") {
                if (!ParseNumber(value, 0x3FFF, n))
                    return bad();
                config.weakSetupByte = static_cast<int>(n);
            } else if (arg == "--drop-reply") {
                if (!CSimFaults::ParseCount(value, faults.dropReplyTo))
                    return bad();
            } else if (arg == "--delay-reply") {
                if (!CSimFaults::ParseDelay(value, faults.delayReplyTo, faults.delayMs))
                    return bad();
            } else if (arg == "--wrong-echo") {
                if (!CSimFaults::ParseCount(value, faults.wrongEchoTo))
                    return bad();
            } else if (arg == "--wrong-length") {
                if (!CSimFaults::ParseCount(value, faults.wrongLengthTo))
                    return bad();
            } else if (arg == "--silent-from") {
                if (!CSimFaults::ParseCount(value, faults.silentFrom))
                    return bad();
            } else if (arg == "--cut") {
                if (!CSimFaults::ParseCount(value, faults.cutAt))
                    return bad();
            } else if (arg == "--bandwidth") {
                if (!ParseDouble(value, faults.bandwidth))
                    return bad();
            } else if (arg == "--rtt") {
                if (!ParseDouble(value, faults.roundTripMs))
                    return bad();
            } else {
                std::fprintf(stderr, "qdx7000-sim: unknown option: %s\n", arg.c_str());
                Usage(stderr, defaultPort);
                return 2;
            }
        }
    }
    if (!tcp && !pty) {
        std::fprintf(stderr, "qdx7000-sim: nothing to serve (--no-tcp without --pty)\n");
        return 2;
    }
    if (!boardFile.empty() && !ram.empty()) {
        std::fprintf(stderr, "qdx7000-sim: --board and --ram exclude each other\n");
        return 2;
    }
    std::unique_ptr<CSimBoard> board;
    if (!ram.empty()) {
        auto ramBoard = std::make_unique<CProbeSimRamBoard>();
        for (const SRamRegion& region : ram) {
            if (!ramBoard->AddRegion(region.base, region.size, region.fill)) {
                std::fprintf(stderr, "qdx7000-sim: RAM region %08X:%X is empty, too large or overlaps another\n",
                             region.base, region.size);
                return 2;
            }
        }
        board = std::move(ramBoard);
    } else {
        CBoardFile file = CBoardFile::Default();
        std::string error;
        if (boardFile == "default")
            boardFile.clear(); // the built-in demo board, as tarvel-cli --sim default
        if (!boardFile.empty() && !CBoardFile::Read(boardFile, file, error)) {
            std::fprintf(stderr, "qdx7000-sim: %s\n", error.c_str());
            return 2;
        }
        auto model = std::make_unique<CSimBoardModel>();
        if (!model->Build(file, error)) {
            std::fprintf(stderr, "qdx7000-sim: %s: %s\n", boardFile.empty() ? "built-in board" : boardFile.c_str(),
                         error.c_str());
            return 2;
        }
        board = std::move(model);
        boardName = file.name.empty() ? (boardFile.empty() ? "built-in board" : boardFile) : file.name;
    }

    // Signals are taken by sigwait below, in this thread only.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    CProbeSim probe(*board, config);
    CSimLink link(probe, faults);
    if (tcp) {
        if (const int err = link.ListenTcp(listenAddress, static_cast<uint16_t>(port)); err != 0) {
            std::fprintf(stderr, "qdx7000-sim: cannot listen on %s:%lu: %s\n", listenAddress.c_str(), port,
                         std::strerror(-err));
            return 1;
        }
    }
    std::string ptyPath;
    if (pty) {
        ptyPath = link.OpenPty();
        if (ptyPath.empty()) {
            std::fprintf(stderr, "qdx7000-sim: cannot create a pseudo-terminal\n");
            return 1;
        }
    }
    link.SetLog([](const std::string& line) {
        std::fprintf(stderr, "qdx7000-sim: %s\n", line.c_str());
        std::fflush(stderr);
    });
    if (link.Start() != 0) {
        std::fprintf(stderr, "qdx7000-sim: cannot start\n");
        return 1;
    }
    std::printf("board %s\n", boardName.c_str());
    if (tcp)
        std::printf("listening %s:%u\n", listenAddress.c_str(), static_cast<unsigned>(link.Port()));
    if (pty)
        std::printf("pty %s\n", ptyPath.c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&signals, &signal);
    link.Stop();
    return 0;
}
