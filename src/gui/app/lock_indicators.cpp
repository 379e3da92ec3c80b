#include "gui/app/lock_indicators.h"

#ifdef TARVEL_HAVE_X11
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

CLockIndicators::CLockIndicators([[maybe_unused]] bool onX11Display)
{
#ifdef TARVEL_HAVE_X11
    if (onX11Display)
        display_ = XOpenDisplay(nullptr);
    if (display_) {
        const char* names[3] = {"Caps Lock", "Num Lock", "Scroll Lock"};
        for (size_t i = 0; i < 3; ++i)
            atoms_[i] = XInternAtom(static_cast<Display*>(display_), names[i], True);
    }
#endif
}

CLockIndicators::~CLockIndicators()
{
#ifdef TARVEL_HAVE_X11
    if (display_)
        XCloseDisplay(static_cast<Display*>(display_));
#endif
}

std::optional<std::array<bool, 3>> CLockIndicators::Read() const
{
#ifdef TARVEL_HAVE_X11
    if (!display_)
        return std::nullopt;
    auto* display = static_cast<Display*>(display_);
    std::array<bool, 3> states{};
    for (size_t i = 0; i < 3; ++i) {
        Bool on = False;
        if (atoms_[i] != None && !XkbGetNamedIndicator(display, atoms_[i], nullptr, &on, nullptr, nullptr))
            on = False;
        states[i] = on == True;
    }
    return states;
#else
    return std::nullopt;
#endif
}
