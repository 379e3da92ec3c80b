#pragma once

#include "probe/gdb/gdb_probe_library.h"
#include "probe/link/link_library.h"

#include <memory>
#include <string>

class CProbeSim;
class CSimBoardModel;
class CSimLink;

// Where the target steps of one run reach a probe: the project's channel
// (the channel text), a probe or simulator on the network (--probe
// HOST[:PORT]), or a simulated probe started in this process on a loopback
// port (--sim BOARD, "default" for the built-in demo board).
class CCliProbe {
public:
    // The link takes its serial devices and probe port from `settings`.
    explicit CCliProbe(const CSettings& settings);
    ~CCliProbe();
    CCliProbe(const CCliProbe&) = delete;
    CCliProbe& operator=(const CCliProbe&) = delete;

    // --probe HOST[:PORT]: false (with `error`) for an empty host or a bad port.
    bool UseNetworkProbe(const std::string& hostPort, std::string& error);
    // --probe ADDRESS: HOST[:PORT] (UseNetworkProbe), a serial device with
    // its baud rate, DEVICE@BAUD (/dev/ttyUSB0@115200), or a GDB server,
    // gdb:HOST:PORT (the target steps then run through CGdbProbeLibrary).
    // False with `error`.
    bool UseProbe(const std::string& address, std::string& error);
    // --sim BOARD: reads the board file (or takes the built-in board for
    // "default") and starts the simulated probe. False with `error` when the
    // board cannot be read or built or the probe cannot listen.
    bool StartSimulator(const std::string& board, std::string& error);

    // The channel text to open for a target command: the override of
    // --probe / --sim, else `projectChannelText`.
    std::string ChannelText(const std::string& projectChannelText) const;
    bool HasOverride() const { return !override_.empty(); }

    // The library of this run's probe: the QDX7000 link, or the GDB server's.
    CProbeLibrary& Library() { return gdb_ ? static_cast<CProbeLibrary&>(*gdb_) : library_; }
    // True when --probe names a GDB server, which has none of the QDX7000's
    // own functions (probe information, update, network setup).
    bool IsGdbServer() const { return gdb_ != nullptr; }
    // The in-process simulated board (nullptr without --sim).
    CSimBoardModel* SimBoard() { return board_.get(); }

private:
    CLinkLibrary library_;
    std::unique_ptr<CGdbProbeLibrary> gdb_;
    std::string override_;
    std::unique_ptr<CSimBoardModel> board_;
    std::unique_ptr<CProbeSim> probe_;
    std::unique_ptr<CSimLink> link_;
};
