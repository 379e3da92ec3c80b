#include "probe/maintenance/network_setup_record.h"

#include "probe/ip_text.h"

namespace {

void PutAddress(CNetworkSetupRecord::Bytes& record, size_t at, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        record[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

} // namespace

CNetworkSetupRecord::Bytes CNetworkSetupRecord::Build(const std::string& serialNumber,
                                                      const std::string& ipAddress,
                                                      const std::string& subnetMask, const std::string& gateway)
{
    Bytes record{};
    record[0] = 0x0A;
    record[1] = 0x4D;
    record[2] = 0x17;
    auto digit = [&serialNumber](size_t i) {
        return static_cast<unsigned>(i < serialNumber.size() ? static_cast<unsigned char>(serialNumber[i]) : '0');
    };
    for (size_t pair = 0; pair < 3; ++pair)
        record[3 + pair] = static_cast<uint8_t>((digit(2 * pair) - '0') * 16 + (digit(2 * pair + 1) - '0'));
    record[6] = 0xFF;
    record[7] = 0xFF;
    PutAddress(record, 8, CIpText::Value(ipAddress));
    PutAddress(record, 12, CIpText::Value(subnetMask));
    PutAddress(record, 16, CIpText::Value(gateway));
    return record;
}

std::string CNetworkSetupRecord::MacText(const std::string& serialNumber)
{
    return "0A4D17" + serialNumber.substr(0, 6);
}
