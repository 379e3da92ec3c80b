#pragma once

#include <string>

// What a file that no program file reader took holds, as far as loading it
// as binary data is concerned: nothing, only text (printable ASCII, blanks,
// line ends and well-formed UTF-8), or bytes that are not text.
enum class EFileText {
    Empty,
    Text,
    Binary,
    Unreadable,
};

// Reads `fileName` up to its first byte that is not text (a true binary
// stops at once; a text file is read whole).
EFileText ClassifyFileText(const std::string& fileName);
