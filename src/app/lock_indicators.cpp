#include "app/lock_indicators.h"

#ifdef TARVEL_HAVE_X11
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

CLockIndicators::CLockIndicators([[maybe_unused]] bool onX11Display)
{
#ifdef TARVEL_HAVE_X11
    if (onX11Display)
        display_ = XOpenDisplay(nullptr);
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
    const char* names[3] = {"Caps Lock", "Num Lock", "Scroll Lock"};
    for (int i = 0; i < 3; ++i) {
        Bool on = False;
        const Atom atom = XInternAtom(display, names[i], True);
        if (atom != None && !XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
            on = False;
        states[static_cast<size_t>(i)] = on == True;
    }
    return states;
#else
    return std::nullopt;
#endif
}
