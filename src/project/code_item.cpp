#include "project/code_item.h"

#include "common/text_format.h"

#include <array>

const CArchive::CClassInfo CCodeItem::kClass = {"CCodeItem", 0};

namespace {

struct CActionInfo {
    const char* mnemonic;
    const char* editorText;
};

constexpr std::array<CActionInfo, CCodeItem::kActionCount> kActions = {{
    {"NOP", "NOP"},
    {"DELAY", "Delay"},
    {"WM8", "Write Mem 8bit"},
    {"WM16", "Write Mem 16bit"},
    {"WM32", "Write Mem 32bit"},
    {"WGPR", "Write GPR"},
    {"WCPSR", "Write CPSR"},
    {"WCP15", "Write CP15"},
    {"MMAP", "<reserved>"},
    {"RM8", "Read Mem 8bit"},
    {"RM16", "Read Mem 16bit"},
    {"RM32", "Read Mem 32bit"},
    {"EXEC", "Execute"},
    {"LOOP", "Loop"},
}};

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 99;
}

// One number as the C library's scanning reads it: leading white space, an
// optional sign, then digits. base 16 accepts an optional 0x prefix; base 0
// detects the base from the prefix (0x hexadecimal, 0 octal, else decimal).
struct CNumberScan {
    bool ok = false;       // at least one digit
    bool negative = false; // a '-' sign
    bool overflow = false; // more than 32 bits of magnitude
    uint32_t value = 0;    // the low 32 bits, negated for a '-' sign
    size_t end = 0;        // index after the last character read
};

CNumberScan ScanNumber(std::string_view s, size_t i, int base)
{
    CNumberScan r;
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        r.negative = s[i] == '-';
        ++i;
    }
    const bool hexPrefix = i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
                           DigitValue(s[i + 2]) < 16;
    if (base == 16 || base == 0) {
        if (hexPrefix) {
            base = 16;
            i += 2;
        } else if (base == 0) {
            base = (i < s.size() && s[i] == '0') ? 8 : 10;
        }
    }
    uint64_t magnitude = 0;
    while (i < s.size() && DigitValue(s[i]) < base) {
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(DigitValue(s[i]));
        if (magnitude > 0xFFFFFFFFull) {
            r.overflow = true;
            magnitude &= 0xFFFFFFFFull;
        }
        r.ok = true;
        ++i;
    }
    r.end = i;
    r.value = static_cast<uint32_t>(magnitude);
    if (r.negative)
        r.value = 0u - r.value;
    return r;
}

std::string Hex(uint32_t v, int digits)
{
    return Format("%0*lX", digits, static_cast<unsigned long>(v));
}

std::string Dec(uint32_t v)
{
    return Format("%lu", static_cast<unsigned long>(v));
}

// The entry text from its parts: "%s\t%08lX\t%08lX\t%s".
std::string EntryText(std::string_view mnemonic, uint32_t address, uint32_t value, std::string_view comment)
{
    std::string t;
    t.reserve(mnemonic.size() + comment.size() + 19);
    t.append(mnemonic);
    t += '\t';
    t += Hex(address, 8);
    t += '\t';
    t += Hex(value, 8);
    t += '\t';
    t.append(comment);
    return t;
}

// The field parse: the first word, two hexadecimal numbers, and the comment
// after the third tab.
void ParseEntryText(const std::string& text, std::string& mnemonic, uint32_t& address, uint32_t& value,
                    std::string& comment)
{
    mnemonic.clear();
    address = 0;
    value = 0;
    comment.clear();

    size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    const size_t wordStart = i;
    while (i < text.size() && !IsSpace(text[i]))
        ++i;
    mnemonic = text.substr(wordStart, i - wordStart);
    if (!mnemonic.empty()) {
        const CNumberScan a = ScanNumber(text, i, 16);
        if (a.ok) {
            address = a.value;
            const CNumberScan v = ScanNumber(text, a.end, 16);
            if (v.ok)
                value = v.value;
        }
    }

    size_t tab = std::string::npos;
    for (int n = 0; n < 3; ++n) {
        tab = text.find('\t', tab == std::string::npos ? 0 : tab + 1);
        if (tab == std::string::npos)
            return;
    }
    comment = text.substr(tab + 1);
}

// Splits a line into its first four tab-separated columns; returns the number
// of tabs seen (more than 3 means a fifth column).
int SplitColumns(std::string_view line, std::array<std::string_view, 4>& columns)
{
    columns = {};
    int tabs = 0;
    size_t start = 0;
    for (size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == '\t') {
            if (tabs < 4)
                columns[tabs] = line.substr(start, i - start);
            if (i == line.size())
                break;
            ++tabs;
            start = i + 1;
        }
    }
    return tabs;
}

std::string Upper(std::string_view s)
{
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return u;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

const char* CCodeItem::GetMnemonic(int code)
{
    return code >= 0 && code < kActionCount ? kActions[code].mnemonic : nullptr;
}

const char* CCodeItem::GetEditorText(int code)
{
    return code >= 0 && code < kActionCount ? kActions[code].editorText : nullptr;
}

int CCodeItem::FindMnemonic(std::string_view mnemonic)
{
    for (int code = 0; code < kActionCount; ++code)
        if (mnemonic == kActions[code].mnemonic)
            return code;
    return -1;
}

CCodeItem::CCodeItem(int code, uint32_t address, uint32_t value, std::string_view comment)
{
    SetFields(code, address, value, comment);
}

CCodeItem::CCodeItem(std::string_view line)
{
    std::array<std::string_view, 4> columns;
    SplitColumns(line, columns);
    for (auto& column : columns)
        column = column.substr(0, kMaxColumn);

    const std::string mnemonic = Upper(columns[0]);
    const char* stored = FindMnemonic(mnemonic) >= 0 ? mnemonic.c_str() : kActions[Nop].mnemonic;
    const CNumberScan address = ScanNumber(Upper(columns[1]), 0, 0);
    const CNumberScan value = ScanNumber(Upper(columns[2]), 0, 0);
    text = EntryText(stored, address.ok ? address.value : 0, value.ok ? value.value : 0, columns[3]);
}

bool CCodeItem::ParseLine(std::string_view line, CCodeItem& item, std::string& reason)
{
    static const char* const kColumnNames[4] = {"type", "address", "value", "comment"};
    std::array<std::string_view, 4> columns;
    if (SplitColumns(line, columns) > 3) {
        reason = "more than four tab-separated columns";
        return false;
    }
    for (int c = 0; c < 4; ++c) {
        if (columns[c].size() > kMaxColumn) {
            reason = Format("the %s column is longer than %zu characters", kColumnNames[c], kMaxColumn);
            return false;
        }
    }

    const std::string mnemonic = Upper(Trim(columns[0]));
    if (mnemonic.empty()) {
        reason = "no action type";
        return false;
    }
    const int code = FindMnemonic(mnemonic);
    if (code < 0) {
        reason = Format("unknown action type \"%s\"", std::string(Trim(columns[0])).c_str());
        return false;
    }

    uint32_t numbers[2] = {0, 0};
    for (int c = 1; c <= 2; ++c) {
        const std::string field = Upper(Trim(columns[c]));
        if (field.empty())
            continue;
        const CNumberScan n = ScanNumber(field, 0, 0);
        if (!n.ok || n.negative || n.overflow || n.end != field.size()) {
            reason = Format("%s \"%s\" is not a number from 0 to 0xFFFFFFFF", kColumnNames[c],
                            std::string(Trim(columns[c])).c_str());
            return false;
        }
        numbers[c - 1] = n.value;
    }

    if ((code == Delay || code == Exec) && numbers[1] > kMaxDelayMs) {
        reason = Format("a %s of %lu ms is not below %lu ms", code == Delay ? "delay" : "run time",
                        static_cast<unsigned long>(numbers[1]), static_cast<unsigned long>(kMaxDelayMs) + 1);
        return false;
    }
    if (columns[3].size() > kMaxComment) {
        reason = Format("the comment is longer than %zu characters", kMaxComment);
        return false;
    }
    item.text = EntryText(mnemonic, numbers[0], numbers[1], columns[3]);
    return true;
}

void CCodeItem::GetFields(int& code, uint32_t& address, uint32_t& value, std::string& comment) const
{
    std::string mnemonic;
    ParseEntryText(text, mnemonic, address, value, comment);
    code = FindMnemonic(mnemonic);
    if (code < 0)
        code = Wm32;
}

void CCodeItem::SetFields(int code, uint32_t address, uint32_t value, std::string_view comment)
{
    std::string kept(comment.substr(0, kMaxComment));
    for (char& c : kept)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    const char* mnemonic = GetMnemonic(code);
    text = EntryText(mnemonic ? mnemonic : kActions[Nop].mnemonic, address, value, kept);
}

std::string CCodeItem::GetDisplayLine() const
{
    std::string mnemonic, comment;
    uint32_t address, value;
    ParseEntryText(text, mnemonic, address, value, comment);
    if (comment.size() > kMaxComment)
        comment.resize(kMaxComment);

    std::string addressColumn, valueColumn;
    switch (FindMnemonic(mnemonic)) {
    case Nop:
        break;
    case Delay:
        valueColumn = Dec(value);
        break;
    case Wm8:
        addressColumn = "0x" + Hex(address, 8);
        valueColumn = "0x" + Hex(value, 2);
        break;
    case Wm16:
        addressColumn = "0x" + Hex(address, 8);
        valueColumn = "0x" + Hex(value, 4);
        break;
    case Wgpr:
        addressColumn = Dec(address);
        valueColumn = "0x" + Hex(value, 8);
        break;
    case Wcpsr:
        valueColumn = "0x" + Hex(value, 8);
        break;
    case Wcp15:
        addressColumn = "0x" + Hex(address, 4);
        valueColumn = "0x" + Hex(value, 8);
        break;
    case Rm8:
    case Rm16:
    case Rm32:
        addressColumn = "0x" + Hex(address, 8);
        break;
    default: // WM32, MMAP, EXEC, LOOP and unknown mnemonics
        addressColumn = "0x" + Hex(address, 8);
        valueColumn = "0x" + Hex(value, 8);
        break;
    }
    return mnemonic + '\t' + addressColumn + '\t' + valueColumn + '\t' + comment;
}

void CCodeItem::Serialize(CArchive& ar)
{
    ar.ExchangeString(text);
}
