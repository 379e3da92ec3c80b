#include "report/base_font_widths.h"

#include <cmath>

namespace {

// Advance widths in thousandths of the font size, for the characters 0x20 to
// 0xFF of the Windows-1252 (WinAnsi) code page; the five code points the code
// page leaves undefined carry the bullet's width.
constexpr short kRegular[224] = {
     278,  278,  355,  556,  556,  889,  667,  191,  333,  333,  389,  584,  278,  333,  278,  278,  // 0x20
     556,  556,  556,  556,  556,  556,  556,  556,  556,  556,  278,  278,  584,  584,  584,  556,  // 0x30
    1015,  667,  667,  722,  722,  667,  611,  778,  722,  278,  500,  667,  556,  833,  722,  778,  // 0x40
     667,  778,  722,  667,  611,  722,  667,  944,  667,  667,  611,  278,  278,  278,  469,  556,  // 0x50
     333,  556,  556,  500,  556,  556,  278,  556,  556,  222,  222,  500,  222,  833,  556,  556,  // 0x60
     556,  556,  333,  500,  278,  556,  500,  722,  500,  500,  500,  334,  260,  334,  584,  750,  // 0x70
     556,  350,  222,  556,  333, 1000,  556,  556,  333, 1000,  667,  333, 1000,  350,  611,  350,  // 0x80
     350,  222,  222,  333,  333,  350,  556, 1000,  333, 1000,  500,  333,  944,  350,  500,  667,  // 0x90
     278,  333,  556,  556,  556,  556,  260,  556,  333,  737,  370,  556,  584,  333,  737,  552,  // 0xA0
     400,  549,  333,  333,  333,  576,  537,  333,  333,  333,  365,  556,  834,  834,  834,  611,  // 0xB0
     667,  667,  667,  667,  667,  667, 1000,  722,  667,  667,  667,  667,  278,  278,  278,  278,  // 0xC0
     722,  722,  778,  778,  778,  778,  778,  584,  778,  722,  722,  722,  722,  667,  667,  611,  // 0xD0
     556,  556,  556,  556,  556,  556,  889,  500,  556,  556,  556,  556,  278,  278,  278,  278,  // 0xE0
     556,  556,  556,  556,  556,  556,  556,  549,  611,  556,  556,  556,  556,  500,  556,  500,  // 0xF0
};
constexpr short kBold[224] = {
     278,  333,  474,  556,  556,  889,  722,  238,  333,  333,  389,  584,  278,  333,  278,  278,  // 0x20
     556,  556,  556,  556,  556,  556,  556,  556,  556,  556,  333,  333,  584,  584,  584,  611,  // 0x30
     975,  722,  722,  722,  722,  667,  611,  778,  722,  278,  556,  722,  611,  833,  722,  778,  // 0x40
     667,  778,  722,  667,  611,  722,  667,  944,  667,  667,  611,  333,  278,  333,  584,  556,  // 0x50
     333,  556,  611,  556,  611,  556,  333,  611,  611,  278,  278,  556,  278,  889,  611,  611,  // 0x60
     611,  611,  389,  556,  333,  611,  556,  778,  556,  556,  500,  389,  280,  389,  584,  750,  // 0x70
     556,  350,  278,  556,  500, 1000,  556,  556,  333, 1000,  667,  333, 1000,  350,  611,  350,  // 0x80
     350,  278,  278,  500,  500,  350,  556, 1000,  333, 1000,  556,  333,  944,  350,  500,  667,  // 0x90
     278,  333,  556,  556,  556,  556,  280,  556,  333,  737,  370,  556,  584,  333,  737,  552,  // 0xA0
     400,  549,  333,  333,  333,  576,  556,  333,  333,  333,  365,  556,  834,  834,  834,  611,  // 0xB0
     722,  722,  722,  722,  722,  722, 1000,  722,  667,  667,  667,  667,  278,  278,  278,  278,  // 0xC0
     722,  722,  778,  778,  778,  778,  778,  584,  778,  722,  722,  722,  722,  667,  667,  611,  // 0xD0
     556,  556,  556,  556,  556,  556,  889,  556,  556,  556,  556,  556,  278,  278,  278,  278,  // 0xE0
     611,  611,  611,  611,  611,  611,  611,  549,  611,  611,  611,  611,  611,  556,  611,  556,  // 0xF0
};

// The Unicode characters of 0x80 .. 0x9F in Windows-1252; 0 where undefined.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// Windows-1252 byte of a Unicode character; '?' where the code page has none.
unsigned char FromUnicode(char32_t u)
{
    if ((u >= 0x20 && u < 0x7F) || (u >= 0xA0 && u <= 0xFF))
        return static_cast<unsigned char>(u);
    if (u < 0x20)
        return static_cast<unsigned char>(u);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] != 0 && kHigh[i] == u)
            return static_cast<unsigned char>(0x80 + i);
    return '?';
}

// The length of a valid UTF-8 sequence at `p` and its character; 0 when the
// bytes there are not one.
size_t DecodeUtf8(std::string_view s, size_t p, char32_t& u)
{
    const unsigned char c = static_cast<unsigned char>(s[p]);
    const size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (n == 0 || p + n > s.size())
        return 0;
    u = c & (0x7F >> n);
    for (size_t i = 1; i < n; ++i) {
        const unsigned char k = static_cast<unsigned char>(s[p + i]);
        if ((k & 0xC0) != 0x80)
            return 0;
        u = (u << 6) | (k & 0x3F);
    }
    if ((n == 3 && u < 0x800) || (n == 4 && (u < 0x10000 || u > 0x10FFFF)) || (u >= 0xD800 && u <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

int CBaseFontWidths::Width(bool bold, unsigned char c)
{
    if (c < 0x20 || c == 0x7F)
        return 0;
    return (bold ? kBold : kRegular)[c - 0x20];
}

std::string CBaseFontWidths::ToWinAnsi(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t p = 0; p < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[p]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++p;
            continue;
        }
        char32_t u = 0;
        if (const size_t n = DecodeUtf8(text, p, u)) {
            out += static_cast<char>(FromUnicode(u));
            p += n;
        } else {
            // Not UTF-8: the byte is taken as Windows-1252 (a project written
            // by a program that kept its texts in that code page).
            out += static_cast<char>(c >= 0xA0 || kHigh[c - 0x80] != 0 ? c : '?');
            ++p;
        }
    }
    return out;
}

int CBaseFontWidths::TextWidth(bool bold, std::string_view text, int size)
{
    long thousandths = 0;
    for (unsigned char c : ToWinAnsi(text))
        thousandths += Width(bold, c);
    return static_cast<int>(std::lround(static_cast<double>(thousandths) * size / 1000.0));
}

double CBaseFontWidths::AverageWidth(const std::function<double(char)>& width)
{
    // The frequency of each lower-case letter, a to z, per thousand letters,
    // and of the space.
    static constexpr int kWeights[26] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3,  6,  35, 20,
                                         56, 56, 17, 4,  49,  56, 71, 31, 10, 18, 3,  18, 2};
    double sum = 166 * width(' ');
    for (int i = 0; i < 26; ++i)
        sum += kWeights[i] * width(static_cast<char>('a' + i));
    return sum / 1000.0;
}
