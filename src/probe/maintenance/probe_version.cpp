#include "probe/maintenance/probe_version.h"

#include <cstdio>

std::string CProbeVersion::Text(uint16_t version)
{
    if (version == 0 || version >= 256)
        return "unknown";
    char text[8];
    std::snprintf(text, sizeof text, "%u.%02u", version / 100u, version % 100u);
    return text;
}

std::string CProbeVersion::ThreeDigits(uint16_t version)
{
    if (!IsValid(version))
        return "000";
    char text[8];
    std::snprintf(text, sizeof text, "%03u", static_cast<unsigned>(version));
    return text;
}
