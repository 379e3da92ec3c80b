#pragma once

#include <cstdint>
#include <string>

// The edit field in which every address, length, value and pattern is typed:
// a fixed count of upper-case hexadecimal digits (8 for addresses and
// lengths; 2, 4 and 8 for byte, word and long values). The view binds its
// edit to `text`; reading gives the value masked to the digit count, an empty
// or unreadable text giving 0.
class CHexField {
public:
    explicit CHexField(int digits = 8) : digits_(digits) {}

    int Digits() const { return digits_; }
    // Changes the digit count; the text is kept as typed.
    void SetDigits(int digits) { digits_ = digits; }

    // Shows `value` masked to the digit count, with leading zeros.
    void SetValue(uint32_t value);
    // Reads the text: optional blanks, an optional "-" (two's complement) and
    // an optional "0x", then hexadecimal digits up to the first other
    // character; no digit gives 0. The value is masked to the digit count.
    uint32_t Value() const;

    // The characters the edit lets through: hexadecimal digits, control
    // keys, "-" and "."; letters are shown upper-case.
    static bool IsAllowedChar(char c);
    static std::string Normalize(const std::string& typed);

    static uint32_t Mask(uint32_t value, int digits)
    {
        return digits >= 8 ? value : value & ((uint32_t{1} << (4 * digits)) - 1);
    }
    // "%0*X" of the masked value.
    static std::string Text(uint32_t value, int digits);

    std::string text;

private:
    int digits_;
};
