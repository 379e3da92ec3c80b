#pragma once

#include <csignal>

// The signals on which a front end removes the files it is writing before it
// ends: an interrupt, a termination request, a hang-up and a closed pipe.
inline constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Holds the cleanup signals back on the calling thread while it lives. Made
// around a step that creates a file and then records its name for the
// handler (or renames it and then forgets the name), it keeps a signal from
// landing in between, where the handler would not know the file: such a
// signal is taken when the holder goes, with the name in place.
class CCleanupSignalsHeld {
public:
    CCleanupSignalsHeld();
    ~CCleanupSignalsHeld();
    CCleanupSignalsHeld(const CCleanupSignalsHeld&) = delete;
    CCleanupSignalsHeld& operator=(const CCleanupSignalsHeld&) = delete;

private:
    sigset_t previous_;
};
