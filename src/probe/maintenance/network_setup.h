#pragma once

#include <string>

class CProbeFrames;

// Writes the probe's network setup record through the loader: asks the
// loader for the serial number, builds the record (CNetworkSetupRecord),
// erases the setup sector, programs the 20 bytes and reads them back. Each
// step runs only after the one before succeeded.
class CNetworkSetup {
public:
    // 0, the first failing status, or -1210 when the bytes read back differ.
    // `serialNumber` receives the serial number the loader reported.
    static int Write(CProbeFrames& frames, const std::string& ipAddress, const std::string& subnetMask,
                     const std::string& gateway, std::string& serialNumber);
};
