#include "cli/cli_args.h"

CCliArgs::CCliArgs(std::vector<std::string> tokens)
{
    bool plain = false; // the word after "--" is taken as it is
    for (std::string& token : tokens) {
        const bool keep = plain;
        plain = token == "--";
        const size_t eq = token.find('=');
        if (!keep && !plain && token.size() > 2 && token.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            tokens_.push_back(token.substr(0, eq));
            tokens_.push_back(token.substr(eq + 1));
            continue;
        }
        if (!keep && (token == "-h" || token == "-q" || token == "-v" || token == "-V"))
            token = token == "-h" ? "--help" : token == "-q" ? "--quiet" : token == "-v" ? "--verbose" : "--version";
        tokens_.push_back(std::move(token));
    }
}

bool CCliArgs::NextValue(const std::string& option, std::string& value, std::string& error)
{
    if (AtEnd()) {
        error = option + " needs a value";
        return false;
    }
    value = Next();
    return true;
}

bool CCliArgs::IsRunOption(const std::string& token)
{
    return token == "--yes" || token == "--no" || token == "--project" || token == "--physical"
           || token == "--allow-outside" || token == "--no-device-check" || token == "--help" || token == "--sim"
           || token == "--probe" || token == "--quiet" || token == "--verbose" || token == "--version" || token == "--json";
}

bool CCliArgs::TakeStep(const std::string& step, const std::vector<std::string>& allowed, size_t maxPositionals,
                        SStepArgs& out, std::string& error, const std::vector<std::string>& flags,
                        size_t requiredPositionals)
{
    const auto contains = [](const std::vector<std::string>& list, const std::string& token) {
        for (const auto& a : list)
            if (a == token)
                return true;
        return false;
    };
    bool plain = false;
    while (!AtEnd()) {
        const std::string& token = Peek();
        if (token == "--" && !plain) {
            Next();
            plain = true;
            continue;
        }
        if (!plain && token.size() > 2 && token.compare(0, 2, "--") == 0) {
            if (IsRunOption(token))
                break;
            const bool flag = contains(flags, token);
            if (!flag && !contains(allowed, token)) {
                error = step + ": unknown option " + token;
                return false;
            }
            const std::string option = Next();
            if (out.Has(option)) {
                error = step + ": " + option + " given twice";
                return false;
            }
            if (flag)
                out.options[option] = "";
            else if (!NextValue(step + ": " + option, out.options[option], error))
                return false;
        } else if (out.positionals.size() < maxPositionals
                   && (out.positionals.size() < requiredPositionals || !isStepName_ || !isStepName_(token))) {
            out.positionals.push_back(Next());
        } else {
            break;
        }
    }
    return true;
}

bool CCliArgs::ParseHex(const std::string& text, uint32_t& value)
{
    size_t i = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        i = 2;
    if (text.size() == i || text.size() - i > 8)
        return false;
    uint32_t v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v << 4 | static_cast<uint32_t>(d);
    }
    value = v;
    return true;
}

bool CCliArgs::ParseRange(const std::string& text, SRange& range)
{
    size_t split = text.find("..");
    size_t skip = 2;
    range.lengthMode = 0;
    if (split == std::string::npos) {
        split = text.find('+');
        skip = 1;
        range.lengthMode = 1;
    }
    if (split == std::string::npos)
        return false;
    return ParseHex(text.substr(0, split), range.start) && ParseHex(text.substr(split + skip), range.second);
}

bool CCliArgs::ParseUnit(const std::string& text, int& index)
{
    static const char* const kUnits[] = {"byte", "word", "long"};
    for (int i = 0; i < 3; ++i) {
        if (text == kUnits[i]) {
            index = i;
            return true;
        }
    }
    return false;
}

bool CCliArgs::ParseRangeOption(const std::string& step, const std::string& text, SRange& range,
                                std::string& error)
{
    if (ParseRange(text, range))
        return true;
    error = step + ": --range wants START..END or START+LENGTH in hexadecimal";
    return false;
}

bool CCliArgs::ParseUnitOption(const std::string& step, const std::string& option, const std::string& text,
                               int& index, std::string& error)
{
    if (ParseUnit(text, index))
        return true;
    error = step + ": " + option + " wants byte, word or long";
    return false;
}

bool CCliArgs::ParseDecimal(const std::string& text, uint32_t& value)
{
    if (text.empty() || text.size() > 10)
        return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > 0xFFFFFFFFull)
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}
