#include "probe/ip_text.h"

uint32_t CIpText::Value(const std::string& text)
{
    uint32_t value = 0;
    size_t pos = 0;
    for (int group = 0; group < 4; ++group) {
        unsigned number = 0;
        int digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            if (++digits > 3)
                return kInvalid;
            number = number * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
        }
        if (number > 255)
            return kInvalid;
        value = (value << 8) | number;
        if (group < 3) {
            if (pos >= text.size() || text[pos] != '.')
                return kInvalid;
            ++pos;
        } else if (pos != text.size()) {
            return kInvalid;
        }
    }
    return value == 0 ? kInvalid : value;
}

bool CIpText::IsValidMask(const std::string& text)
{
    const uint32_t value = Value(text);
    if (value == kInvalid)
        return false;
    // Ones from the top, then zeros: the inverted mask plus one is a power of two.
    const uint32_t hostBits = ~value;
    return (hostBits & (hostBits + 1)) == 0;
}
