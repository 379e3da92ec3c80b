#pragma once

#include <cstddef>
#include <string>

// Reads a whole small text file (an init list, a board description) without
// trusting its reported size: a device or a pipe reports none, and /dev/zero
// never ends. Reading stops one byte past the limit.
class CBoundedFile {
public:
    enum class EResult {
        Ok,
        CannotOpen, // cannot be opened or read (errno says why), or a directory
        TooLarge,   // more than maxBytes bytes
    };

    static EResult Read(const std::string& path, size_t maxBytes, std::string& text);

    // Read, with a failure's reason in `why`: "cannot open PATH: <the
    // system's reason>" or "PATH is larger than <what> can be" (what: "a
    // fuse file"). An empty path cannot be opened.
    static EResult Read(const std::string& path, size_t maxBytes, const char* what, std::string& text,
                        std::string& why);
};
