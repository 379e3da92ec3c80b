#include "probe/maintenance/network_setup.h"

#include "probe/maintenance/network_setup_record.h"
#include "probe/probe_frames.h"
#include "probe/probe_status.h"

int CNetworkSetup::Write(CProbeFrames& frames, const std::string& ipAddress, const std::string& subnetMask,
                         const std::string& gateway, std::string& serialNumber)
{
    SLoaderIdentity identity;
    if (const int status = frames.LoaderIdentify(identity); status != kStatusOk)
        return status;
    serialNumber = identity.serialNumber;
    const CNetworkSetupRecord::Bytes record =
        CNetworkSetupRecord::Build(identity.serialNumber, ipAddress, subnetMask, gateway);
    if (const int status = frames.EraseProbeSector(CNetworkSetupRecord::kAddress); status != kStatusOk)
        return status;
    uint32_t value = 0;
    if (const int status = frames.ProgramProbeMemory(CNetworkSetupRecord::kAddress, CNetworkSetupRecord::kSize,
                                                     record.data(), value);
        status != kStatusOk)
        return status;
    CNetworkSetupRecord::Bytes back{};
    if (const int status = frames.ReadProbeMemory(CNetworkSetupRecord::kAddress, CNetworkSetupRecord::kSize,
                                                  back.data());
        status != kStatusOk)
        return status;
    return back == record ? kStatusOk : kStatusSetupReadBack;
}
