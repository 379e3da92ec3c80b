#pragma once

#include <optional>

class CSettings;

// The main window's normal rectangle kept between runs ("WindowPos" /
// "leftPos", "topPos", "rightPos", "bottomPos", screen coordinates, right
// and bottom one past the last pixel).
class CWindowPlacement {
public:
    struct SRect {
        long left = 0;
        long top = 0;
        long right = 0;
        long bottom = 0;
        bool operator==(const SRect&) const = default;
    };

    // "leftPos" 65535 (or absent) means no stored position.
    static constexpr long kNoPosition = 65535;

    // The stored rectangle, when there is one and it lies wholly within
    // `desktop` (an empty or inverted one is no rectangle either).
    static std::optional<SRect> Stored(const CSettings& settings, const SRect& desktop);
    // Keeps `rect` for the next run.
    static void Keep(CSettings& settings, const SRect& rect);
};
