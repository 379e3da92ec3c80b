#pragma once

#include <functional>
#include <string>
#include <string_view>

// The character widths of the two sans-serif faces every PDF reader carries
// (the regular and the bold one), which are also those of the faces a
// printed report asks for and of their metric-compatible free versions. The
// report's own PDF and text output measure with them, so they break lines and
// pages as a printer does.
class CBaseFontWidths {
public:
    // Width of a Windows-1252 character in thousandths of the font size; 0 for
    // control characters.
    static int Width(bool bold, unsigned char c);
    // `text` (UTF-8; bytes that are not valid UTF-8 count as Windows-1252) in
    // Windows-1252; a character the code page lacks becomes "?".
    static std::string ToWinAnsi(std::string_view text);
    // The width of `text` at a font size of `size` units, rounded to units.
    static int TextWidth(bool bold, std::string_view text, int size);
    // The average character width of a face whose characters are `width`
    // wide: the lower-case letters and the space weighted by how often they
    // occur in text (the measure fonts give as their average width).
    static double AverageWidth(const std::function<double(char)>& width);
};
