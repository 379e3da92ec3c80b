#pragma once

#include <QString>

#include <string>

// File names cross between the core (bytes, as the system gave them) and Qt
// (text) only through these two. A name that is not valid UTF-8 cannot be
// shown exactly: ShownPath gives a readable form for titles and fields, and
// code that needs the file again keeps the original bytes.
QString ShownPath(const std::string& path);
// Text typed or chosen in a Qt dialog, in the system's file name encoding.
std::string NativePath(const QString& path);
