#include "probe/maintenance/probe_image_files.h"

#include "probe/maintenance/probe_version.h"

#include <filesystem>
#include <system_error>

std::string CProbeImageFiles::Path(const std::string& family, uint16_t version) const
{
    if (!CProbeVersion::IsValid(version))
        return {};
    return (std::filesystem::path(directory_.empty() ? "." : directory_) /
            (family + "." + CProbeVersion::ThreeDigits(version)))
        .string();
}

uint16_t CProbeImageFiles::Newest(const std::string& family) const
{
    std::error_code error;
    std::filesystem::directory_iterator it(directory_.empty() ? "." : directory_, error);
    if (error)
        return 0;
    unsigned newest = 0;
    for (const std::filesystem::directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        // The listing: the family name, a point and up to three characters.
        if (name.size() < family.size() + 1 || name.size() > family.size() + 4 ||
            name.compare(0, family.size(), family) != 0 || name[family.size()] != '.')
            continue;
        const std::string extension = name.substr(family.size());
        unsigned value = 0;
        if (extension.size() == 4) {
            for (size_t i = 1; i < 4; ++i) {
                if (extension[i] < '0' || extension[i] > '9') {
                    value = 0;
                    break;
                }
                value = value * 10 + static_cast<unsigned>(extension[i] - '0');
            }
        }
        if (value > newest)
            newest = value;
    }
    return static_cast<uint16_t>(newest);
}
