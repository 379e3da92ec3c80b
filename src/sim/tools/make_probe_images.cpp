// make-probe-images: writes the sample firmware image and JEDEC logic files
// of the simulated probe into a directory (the build places them next to the
// programs, where probe maintenance looks for them).
//
//   make-probe-images DIR [FIRMWARE_VERSION [LOGIC_VERSION]]
//
// Writes DIR/QX7ARMFW.<fff>, DIR/ARMJED70.<lll> and DIR/ARMJED71.<lll>
// (defaults: firmware 114, logic 113).

#include "sim/sim_probe_images.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

bool Version(const char* text, uint16_t& version)
{
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (!end || end == text || *end != '\0' || value < 1 || value > 255)
        return false;
    version = static_cast<uint16_t>(value);
    return true;
}

bool Write(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            std::fprintf(stderr, "make-probe-images: cannot write %s\n", temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "make-probe-images: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

std::string Digits(uint16_t version)
{
    char text[8];
    std::snprintf(text, sizeof text, "%03u", static_cast<unsigned>(version));
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    uint16_t firmware = 114;
    uint16_t logic = 113;
    if (argc < 2 || argc > 4 || (argc > 2 && !Version(argv[2], firmware)) || (argc > 3 && !Version(argv[3], logic))) {
        std::fprintf(stderr, "usage: make-probe-images DIR [FIRMWARE_VERSION [LOGIC_VERSION]]  (versions 1..255)\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::string jedec = CSimProbeImages::JedecFile(logic);
    return Write(dir + "/QX7ARMFW." + Digits(firmware), CSimProbeImages::FirmwareImage(firmware)) &&
                   Write(dir + "/ARMJED70." + Digits(logic), jedec) && Write(dir + "/ARMJED71." + Digits(logic), jedec)
               ? 0
               : 1;
}
