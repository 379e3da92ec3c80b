#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The registers of a target as its GDB server describes them (the XML target
// description and the files it includes): each register's name, number in
// the `p` and `P` packets, and size. Only what the register packets need is
// read; the rest of the description is skipped.
class CGdbTargetDescription {
public:
    struct SRegister {
        std::string name;
        uint32_t number = 0;
        uint32_t bits = 0;
    };

    // Reads the description of `document`. `fetch` gives the text of a file
    // the description includes (false when it cannot). False when the text
    // is no description: no register, a register without a name or size, a
    // size that is not a whole number of bytes up to 512 bits, or includes
    // nested deeper than four files.
    bool Parse(const std::string& document, const std::function<bool(const std::string&, std::string&)>& fetch);

    const SRegister* Find(std::string_view name) const;
    const std::vector<SRegister>& Registers() const { return registers_; }

private:
    bool ParseText(const std::string& text, const std::function<bool(const std::string&, std::string&)>& fetch,
                   int depth);

    std::vector<SRegister> registers_;
    uint32_t next_ = 0;
};
