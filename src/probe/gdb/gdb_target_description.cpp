#include "probe/gdb/gdb_target_description.h"

#include <cctype>
#include <charconv>

namespace {

constexpr int kMaxIncludeDepth = 4;

// The value of attribute `name` in the element text `element` ("<reg ...>").
bool Attribute(std::string_view element, std::string_view name, std::string& value)
{
    size_t at = 0;
    while ((at = element.find(name, at)) != std::string_view::npos) {
        const bool startsWord = at > 0 && std::isspace(static_cast<unsigned char>(element[at - 1]));
        size_t i = at + name.size();
        while (i < element.size() && std::isspace(static_cast<unsigned char>(element[i])))
            ++i;
        if (startsWord && i < element.size() && element[i] == '=') {
            ++i;
            while (i < element.size() && std::isspace(static_cast<unsigned char>(element[i])))
                ++i;
            if (i >= element.size() || (element[i] != '"' && element[i] != '\''))
                return false;
            const char quote = element[i];
            const size_t end = element.find(quote, i + 1);
            if (end == std::string_view::npos)
                return false;
            value.assign(element.substr(i + 1, end - i - 1));
            return true;
        }
        at += name.size();
    }
    return false;
}

bool Number(const std::string& text, uint32_t& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

bool CGdbTargetDescription::Parse(const std::string& document,
                                  const std::function<bool(const std::string&, std::string&)>& fetch)
{
    registers_.clear();
    next_ = 0;
    return ParseText(document, fetch, 0) && !registers_.empty();
}

bool CGdbTargetDescription::ParseText(const std::string& text,
                                      const std::function<bool(const std::string&, std::string&)>& fetch,
                                      int depth)
{
    size_t at = 0;
    while ((at = text.find('<', at)) != std::string::npos) {
        const size_t end = text.find('>', at);
        if (end == std::string::npos)
            return true;  // an unfinished element at the end: nothing more to read
        const std::string_view element = std::string_view(text).substr(at, end - at + 1);
        at = end + 1;
        if (element.rfind("<reg", 0) == 0 && element.size() > 4 &&
            std::isspace(static_cast<unsigned char>(element[4]))) {
            SRegister reg;
            std::string bits;
            std::string number;
            if (!Attribute(element, "name", reg.name) || reg.name.empty() || !Attribute(element, "bitsize", bits) ||
                !Number(bits, reg.bits) || reg.bits == 0 || reg.bits % 8 != 0 || reg.bits > 512)
                return false;
            if (Attribute(element, "regnum", number)) {
                if (!Number(number, next_))
                    return false;
            }
            reg.number = next_++;
            registers_.push_back(std::move(reg));
        } else if (element.rfind("<xi:include", 0) == 0) {
            std::string href;
            std::string included;
            if (!Attribute(element, "href", href))
                return false;
            if (depth + 1 > kMaxIncludeDepth || !fetch(href, included) || !ParseText(included, fetch, depth + 1))
                return false;
        }
    }
    return true;
}

const CGdbTargetDescription::SRegister* CGdbTargetDescription::Find(std::string_view name) const
{
    for (const SRegister& reg : registers_) {
        if (reg.name == name)
            return &reg;
    }
    return nullptr;
}
