#pragma once

#include <string>

// printf-style formatting into a std::string; the system's messages are
// printf formats ("%08lX", "%lu") and are used as they stand.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
