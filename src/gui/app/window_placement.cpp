#include "gui/app/window_placement.h"

#include "common/settings.h"

std::optional<CWindowPlacement::SRect> CWindowPlacement::Stored(const CSettings& settings, const SRect& desktop)
{
    const long left = settings.GetInt(ESetting::WindowLeft, kNoPosition);
    if (left == kNoPosition)
        return std::nullopt;
    SRect r{left, settings.GetInt(ESetting::WindowTop, 0), settings.GetInt(ESetting::WindowRight, 0),
            settings.GetInt(ESetting::WindowBottom, 0)};
    if (r.left < desktop.left || r.top < desktop.top || r.right > desktop.right || r.bottom > desktop.bottom)
        return std::nullopt;
    // A window of no size cannot be shown; the default placement is better.
    if (r.right <= r.left || r.bottom <= r.top)
        return std::nullopt;
    return r;
}

void CWindowPlacement::Keep(CSettings& settings, const SRect& rect)
{
    settings.SetInt(ESetting::WindowLeft, rect.left);
    settings.SetInt(ESetting::WindowTop, rect.top);
    settings.SetInt(ESetting::WindowRight, rect.right);
    settings.SetInt(ESetting::WindowBottom, rect.bottom);
}
