#include "common/hex_field.h"

#include "common/hex_digits.h"

#include <cctype>
#include <cstdio>

void CHexField::SetValue(uint32_t value)
{
    text = Text(value, digits_);
}

std::string CHexField::Text(uint32_t value, int digits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, Mask(value, digits));
    return buf;
}

uint32_t CHexField::Value() const
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        hexdigits::kValue[static_cast<unsigned char>(text[i + 2])] >= 0)
        i += 2;
    uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const int d = hexdigits::kValue[static_cast<unsigned char>(text[i])];
        if (d < 0)
            break;
        value = value << 4 | static_cast<uint32_t>(d);
    }
    if (negative)
        value = 0u - value;
    return Mask(value, digits_);
}

bool CHexField::IsAllowedChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return hexdigits::kValue[u] >= 0 || std::iscntrl(u) || c == '-' || c == '.';
}

std::string CHexField::Normalize(const std::string& typed)
{
    std::string out;
    for (char c : typed) {
        if (IsAllowedChar(c))
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}
