#include "sim/sim_probe_images.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t kHeaderAddress = 0x0100C000;
constexpr uint32_t kSecondPart = 0x01040004;
constexpr uint32_t kFirstPartSize = 0x3000;
constexpr uint32_t kSecondPartSize = 0x1000;
constexpr size_t kRecordData = 64;

// A small deterministic generator (xorshift), so that every version's files
// differ and come out the same on every build.
class CPattern {
public:
    explicit CPattern(uint32_t seed) : state_(seed * 2654435761u + 0x9E3779B9u) {}
    uint32_t Next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }

private:
    uint32_t state_;
};

std::string Record(char type, uint32_t address, size_t addressLength, const uint8_t* data, size_t length)
{
    const size_t count = addressLength + length + 1;
    std::string line = "S";
    line.push_back(type);
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(count));
    line += hex;
    unsigned sum = static_cast<unsigned>(count);
    for (size_t i = 0; i < addressLength; ++i) {
        const auto byte = static_cast<uint8_t>(address >> (8 * (addressLength - 1 - i)));
        std::snprintf(hex, sizeof hex, "%02X", byte);
        line += hex;
        sum += byte;
    }
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, "%02X", data[i]);
        line += hex;
        sum += data[i];
    }
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(~sum & 0xFF));
    line += hex;
    return line + "\n";
}

void Records(std::string& text, uint32_t address, const std::vector<uint8_t>& data)
{
    for (size_t at = 0; at < data.size(); at += kRecordData) {
        const size_t n = std::min(kRecordData, data.size() - at);
        text += Record('3', address + static_cast<uint32_t>(at), 4, data.data() + at, n);
    }
}

} // namespace

std::string CSimProbeImages::FirmwareImage(uint16_t version)
{
    std::string text;
    const std::string title = "Tarvel sample firmware " + std::to_string(version);
    text += Record('0', 0, 2, reinterpret_cast<const uint8_t*>(title.data()), title.size());
    CPattern pattern(version);
    std::vector<uint8_t> first(kFirstPartSize);
    for (uint8_t& b : first)
        b = static_cast<uint8_t>(pattern.Next());
    const std::string name = "QX7ARMFW";
    std::copy(name.begin(), name.end(), first.begin());
    first[8] = static_cast<uint8_t>(version >> 8);
    first[9] = static_cast<uint8_t>(version);
    std::fill(first.begin() + 10, first.begin() + 16, 0);
    Records(text, kHeaderAddress, first);
    std::vector<uint8_t> second(kSecondPartSize);
    for (uint8_t& b : second)
        b = static_cast<uint8_t>(pattern.Next());
    Records(text, kSecondPart, second);
    text += Record('7', kHeaderAddress, 4, nullptr, 0);
    return text;
}

std::string CSimProbeImages::FuseRow(uint16_t version, int row)
{
    CPattern pattern(0x10000u + version * 211u + static_cast<uint32_t>(row));
    std::string fuses;
    while (fuses.size() < 240) {
        const uint32_t bits = pattern.Next();
        for (int i = 0; i < 30 && fuses.size() < 240; ++i)
            fuses.push_back((bits >> i) & 1 ? '1' : '0');
    }
    return fuses;
}

std::string CSimProbeImages::JedecFile(uint16_t version)
{
    char text[96];
    std::snprintf(text, sizeof text, "Tarvel sample logic design %u.%02u for the simulated probe*\n", version / 100u,
                  version % 100u);
    std::string file = "\x02";
    file += text;
    file += "QP100*\nQF32160*\nQV0*\nF0*\nG0*\n*L00000\n";
    unsigned checksum = 0;
    for (int row = 0; row < 134; ++row) {
        const std::string fuses = FuseRow(version, row);
        for (size_t at = 0; at < 240; at += 60)
            file += fuses.substr(at, 60) + "\n";
        for (size_t i = 0; i < 240; ++i)
            checksum += fuses[i] == '1' ? 1u << (i % 8) : 0u;
    }
    std::snprintf(text, sizeof text, "*C%04X*\n\x03" "0000\n", checksum & 0xFFFF);
    file += text;
    return file;
}
