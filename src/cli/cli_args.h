#pragma once

#include <cstdint>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

// The command line as a stream of tokens, with the parsers every step
// shares. Numbers are hexadecimal (an optional 0x, 1 to 8 digits); a range
// is START..END or START+LENGTH.
class CCliArgs {
public:
    // "--name=value" becomes "--name" "value" and the short options -h, -q
    // and -V their long forms, except right after a "--".
    explicit CCliArgs(std::vector<std::string> tokens);

    bool AtEnd() const { return next_ >= tokens_.size(); }
    const std::string& Peek() const { return tokens_[next_]; }
    std::string Next() { return tokens_[next_++]; }
    // The value after an option; false (with `error` set) when there is none.
    bool NextValue(const std::string& option, std::string& value, std::string& error);

    // A step's options (--name value) and positional arguments.
    struct SStepArgs {
        std::map<std::string, std::string> options;
        std::vector<std::string> positionals;
        bool Has(const std::string& option) const { return options.count(option) != 0; }
    };
    // Takes the arguments of step `step`: options from `allowed`, each with
    // a value, flags from `flags` (no value), and up to `maxPositionals`
    // other words. It stops before a run-wide option (IsRunOption), and
    // before the first word once the positionals are full (the next step's
    // name). Positionals past the first `requiredPositionals` are optional:
    // a word that names a step is not taken as one of them. After a "--" the
    // step's words are positionals only, so that a file name may begin
    // with "-".
    bool TakeStep(const std::string& step, const std::vector<std::string>& allowed, size_t maxPositionals,
                  SStepArgs& out, std::string& error, const std::vector<std::string>& flags = {},
                  size_t requiredPositionals = SIZE_MAX);

    // Options of the whole run, which may stand before, between or after the
    // steps: --yes, --no, --project FILE, --physical R, --allow-outside, --help,
    // --sim BOARD, --probe PROBE, --json FILE, --quiet, --verbose, --version.
    static bool IsRunOption(const std::string& token);


    struct SRange {
        uint32_t start = 0;
        uint32_t second = 0; // end address or length
        int lengthMode = 1;
    };

    static bool ParseHex(const std::string& text, uint32_t& value);
    static bool ParseRange(const std::string& text, SRange& range);
    // "byte", "word", "long" -> radio index 0, 1, 2.
    static bool ParseUnit(const std::string& text, int& index);
    // The value of a step's range or unit option; false with the step's
    // message in `error` when the value is not one.
    static bool ParseRangeOption(const std::string& step, const std::string& text, SRange& range,
                                 std::string& error);
    static bool ParseUnitOption(const std::string& step, const std::string& option, const std::string& text,
                                int& index, std::string& error);

    // Tells TakeStep which words name steps.
    void SetStepNameTest(bool (*isStepName)(const std::string&)) { isStepName_ = isStepName; }

    // A decimal number (digits only) of at most 32 bits.
    static bool ParseDecimal(const std::string& text, uint32_t& value);

private:
    bool (*isStepName_)(const std::string&) = nullptr;
    std::vector<std::string> tokens_;
    size_t next_ = 0;
};
