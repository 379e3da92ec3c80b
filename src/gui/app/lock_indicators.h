#pragma once

#include <array>
#include <optional>

// The keyboard's Caps Lock, Num Lock and Scroll Lock states for the status
// bar's "CAP", "NUM" and "SCRL" panes. Read from the X server's keyboard
// extension when the program runs on an X display; elsewhere (offscreen,
// Wayland without X) the states are unknown and the panes stay greyed.
class CLockIndicators {
public:
    enum : int { Caps = 0, Num = 1, Scroll = 2 };

    explicit CLockIndicators(bool onX11Display);
    ~CLockIndicators();
    CLockIndicators(const CLockIndicators&) = delete;
    CLockIndicators& operator=(const CLockIndicators&) = delete;

    std::optional<std::array<bool, 3>> Read() const;

private:
    void* display_ = nullptr;
    // The indicators' atoms, looked up once (0: the server has no such indicator).
    std::array<unsigned long, 3> atoms_{};
};
