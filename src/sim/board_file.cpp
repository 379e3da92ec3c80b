#include "sim/board_file.h"

#include "common/bounded_file.h"
#include "common/text_format.h"
#include "sim/sim_flash_geometry.h"
#include "sim/sim_qemu_machine.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace {

// One line split into words; a double-quoted word keeps its spaces.
bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& why)
{
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == '#')
            break;
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        std::string word;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#') {
            if (line[i] == '"') {
                size_t close = line.find('"', i + 1);
                if (close == std::string::npos) {
                    why = "unterminated quote";
                    return false;
                }
                word.append(line, i + 1, close - i - 1);
                i = close + 1;
            } else {
                word += line[i++];
            }
        }
        words.push_back(word);
    }
    return true;
}

// Hexadecimal with 0x, else decimal; the whole text must be used.
bool ParseNumber(const std::string& text, uint64_t limit, uint64_t& value)
{
    if (text.empty())
        return false;
    int base = 10;
    size_t i = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    }
    uint64_t v = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
            digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        else
            return false;
        v = v * base + digit;
        if (v > limit)
            return false;
    }
    value = v;
    return true;
}

bool ParseAddress(const std::string& text, uint32_t& value)
{
    uint64_t v;
    if (!ParseNumber(text, 0xFFFFFFFF, v))
        return false;
    value = uint32_t(v);
    return true;
}

// A byte count, optionally with K (KiB) or M (MiB).
bool ParseSize(const std::string& text, uint64_t& value)
{
    uint64_t unit = 1;
    std::string digits = text;
    if (!digits.empty()) {
        char last = char(std::toupper(static_cast<unsigned char>(digits.back())));
        if (last == 'K' || last == 'M') {
            unit = last == 'K' ? 1024 : 1024 * 1024;
            digits.pop_back();
        }
    }
    uint64_t v;
    if (!ParseNumber(digits, 0x100000000ULL, v) || v * unit > 0x100000000ULL)
        return false;
    value = v * unit;
    return true;
}

// A number followed by us, ms or s.
bool ParseDuration(const std::string& text, uint64_t& micros)
{
    size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])))
        ++digits;
    std::string unit = text.substr(digits);
    uint64_t scale;
    if (unit == "us")
        scale = 1;
    else if (unit == "ms")
        scale = 1000;
    else if (unit == "s")
        scale = 1000000;
    else
        return false;
    uint64_t v;
    const uint64_t oneDay = 86400ULL * 1000000ULL;
    if (digits == 0 || !ParseNumber(text.substr(0, digits), oneDay, v) || v * scale > oneDay)
        return false;
    micros = v * scale;
    return true;
}

// "ADDR:VALUE" or "ADDR:VALUE:MASK".
bool ParseChipSelect(const std::string& text, CBoardFile::CChipSelectDef& cs)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ':'))
        parts.push_back(part);
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    CBoardFile::CChipSelectDef out;
    out.used = true;
    if (!ParseAddress(parts[0], out.address) || !ParseAddress(parts[1], out.value))
        return false;
    if (parts.size() == 3 && !ParseAddress(parts[2], out.mask))
        return false;
    cs = out;
    return true;
}

class CLineParser {
public:
    CLineParser(int line, std::vector<std::string> words) : line_(line), words_(std::move(words)) {}

    bool Parse(CBoardFile& board)
    {
        const std::string& keyword = words_[0];
        if (keyword == "board")
            return ParseBoard(board);
        if (keyword == "ram")
            return ParseRam(board);
        if (keyword == "flash")
            return ParseFlash(board);
        if (keyword == "fault")
            return ParseFault(board);
        if (keyword == "qemu-flash")
            return ParseQemuFlash(board);
        return Fail(Format("unknown keyword \"%s\" (expected board, ram, flash, fault or qemu-flash)",
                           keyword.c_str()));
    }

    const std::string& Error() const { return error_; }

private:
    bool Fail(const std::string& why)
    {
        error_ = Format("line %d: %s", line_, why.c_str());
        return false;
    }

    // Splits key=value words after the positional ones; a repeated or unknown key is an error.
    bool Keys(size_t first, const std::vector<std::string>& known, std::vector<std::pair<std::string, std::string>>& out)
    {
        for (size_t i = first; i < words_.size(); ++i) {
            size_t eq = words_[i].find('=');
            if (eq == std::string::npos)
                return Fail(Format("unexpected \"%s\" (expected key=value)", words_[i].c_str()));
            std::string key = words_[i].substr(0, eq);
            bool isKnown = false;
            for (const auto& k : known)
                isKnown |= k == key;
            if (!isKnown)
                return Fail(Format("unknown key \"%s\"", key.c_str()));
            for (const auto& [k, v] : out)
                if (k == key)
                    return Fail(Format("%s= given twice", key.c_str()));
            out.emplace_back(key, words_[i].substr(eq + 1));
        }
        return true;
    }

    bool ParseBoard(CBoardFile& board)
    {
        if (words_.size() < 2)
            return Fail("board needs a name");
        std::string name;
        for (size_t i = 1; i < words_.size(); ++i)
            name += (i > 1 ? " " : "") + words_[i];
        board.name = name;
        return true;
    }

    bool ParseRam(CBoardFile& board)
    {
        if (words_.size() < 3 || words_[1].find('=') != std::string::npos ||
            words_[2].find('=') != std::string::npos)
            return Fail("ram needs a base address and a size: ram BASE SIZE [cs=ADDR:VALUE[:MASK]]");
        CBoardFile::CRamDef ram;
        ram.line = line_;
        if (!ParseAddress(words_[1], ram.base))
            return Fail(Format("bad base address \"%s\"", words_[1].c_str()));
        if (!ParseSize(words_[2], ram.size) || ram.size == 0)
            return Fail(Format("bad size \"%s\" (a nonzero byte count, K or M allowed)", words_[2].c_str()));
        std::vector<std::pair<std::string, std::string>> keys;
        if (!Keys(3, {"cs"}, keys))
            return false;
        for (const auto& [key, value] : keys)
            if (!ParseChipSelect(value, ram.chipSelect))
                return Fail(Format("bad chip select \"%s\" (expected ADDR:VALUE or ADDR:VALUE:MASK)", value.c_str()));
        board.rams.push_back(ram);
        return true;
    }

    bool ParseFlash(CBoardFile& board)
    {
        if (words_.size() < 2 || words_[1].find('=') != std::string::npos)
            return Fail("flash needs a quoted catalogue device name: flash \"NAME\" base=ADDR bus=8|16|32 ...");
        CBoardFile::CFlashDef flash;
        flash.line = line_;
        flash.device = words_[1];
        CSimFlashGeometry geometry;
        if (!LookupSimFlashGeometry(flash.device, geometry))
            return Fail(Format("unknown flash device \"%s\"", flash.device.c_str()));
        std::vector<std::pair<std::string, std::string>> keys;
        if (!Keys(2, {"base", "bus", "banks", "cs", "sector-erase", "chip-erase", "program"}, keys))
            return false;
        bool haveBase = false;
        for (const auto& [key, value] : keys) {
            uint64_t n = 0;
            if (key == "base") {
                if (!ParseAddress(value, flash.base))
                    return Fail(Format("bad base address \"%s\"", value.c_str()));
                haveBase = true;
            } else if (key == "bus") {
                if (!ParseNumber(value, 64, n) || (n != 8 && n != 16 && n != 32))
                    return Fail(Format("bus must be 8, 16 or 32, not \"%s\"", value.c_str()));
                flash.busBits = uint32_t(n);
            } else if (key == "banks") {
                if (!ParseNumber(value, 100, n) || n < 1 || n > 16)
                    return Fail(Format("banks must be 1 to 16, not \"%s\"", value.c_str()));
                flash.banks = uint32_t(n);
            } else if (key == "cs") {
                if (!ParseChipSelect(value, flash.chipSelect))
                    return Fail(Format("bad chip select \"%s\" (expected ADDR:VALUE or ADDR:VALUE:MASK)",
                                       value.c_str()));
            } else {
                uint64_t micros;
                if (!ParseDuration(value, micros))
                    return Fail(Format("bad duration \"%s\" (a whole number followed by us, ms or s, at most a day)",
                                       value.c_str()));
                if (key == "sector-erase")
                    flash.sectorEraseMicros = micros;
                else if (key == "chip-erase")
                    flash.chipEraseMicros = micros;
                else
                    flash.programMicrosPerByte = micros;
            }
        }
        if (!haveBase)
            return Fail("flash needs base=ADDR");
        if (flash.busBits == 0)
            return Fail("flash needs bus=8, 16 or 32");
        board.flashes.push_back(flash);
        return true;
    }

    bool ParseFault(CBoardFile& board)
    {
        if (words_.size() < 3)
            return Fail("fault needs a kind and an address: fault erase-fail|erase-hang|stuck ADDR ...");
        CBoardFile::CFaultDef fault;
        fault.line = line_;
        const std::string& kind = words_[1];
        if (kind == "erase-fail")
            fault.kind = CBoardFile::EFaultKind::EraseFail;
        else if (kind == "erase-hang")
            fault.kind = CBoardFile::EFaultKind::EraseHang;
        else if (kind == "stuck")
            fault.kind = CBoardFile::EFaultKind::StuckBit;
        else
            return Fail(Format("unknown fault \"%s\" (expected erase-fail, erase-hang or stuck)", kind.c_str()));
        if (!ParseAddress(words_[2], fault.address))
            return Fail(Format("bad address \"%s\"", words_[2].c_str()));
        std::vector<std::pair<std::string, std::string>> keys;
        bool stuck = fault.kind == CBoardFile::EFaultKind::StuckBit;
        if (!Keys(3, stuck ? std::vector<std::string>{"bit", "value"} : std::vector<std::string>{}, keys))
            return false;
        if (stuck) {
            bool haveBit = false, haveValue = false;
            for (const auto& [key, value] : keys) {
                uint64_t n = 0;
                if (key == "bit") {
                    if (!ParseNumber(value, 100, n) || n > 7)
                        return Fail(Format("bit must be 0 to 7, not \"%s\"", value.c_str()));
                    fault.bit = int(n);
                    haveBit = true;
                } else {
                    if (value != "0" && value != "1")
                        return Fail(Format("value must be 0 or 1, not \"%s\"", value.c_str()));
                    fault.value = value == "1";
                    haveValue = true;
                }
            }
            if (!haveBit || !haveValue)
                return Fail("a stuck bit needs bit=0..7 and value=0|1");
        }
        board.faults.push_back(fault);
        return true;
    }

    // qemu-flash MACHINE device="NAME" base=ADDR bus=8|16|32 [banks=N] [regions=COUNTxSIZE,...]
    //            [drive=FILE] [read-only]
    bool ParseQemuFlash(CBoardFile& board)
    {
        const char* usage = "qemu-flash MACHINE device=\"NAME\" base=ADDR bus=8|16|32 [banks=N] "
                            "[regions=COUNTxSIZE,...] [drive=FILE] [read-only]";
        if (words_.size() < 2 || words_[1].find('=') != std::string::npos)
            return Fail(Format("qemu-flash needs a QEMU machine: %s", usage));
        CBoardFile::CQemuFlashDef flash;
        flash.line = line_;
        flash.machine = words_[1];
        if (!FindSimQemuMachine(flash.machine))
            return Fail(Format("unknown QEMU machine \"%s\" (expected %s)", flash.machine.c_str(),
                               SimQemuMachineNames().c_str()));
        // The one bare word: read-only.
        for (size_t i = 2; i < words_.size(); ++i) {
            if (words_[i] == "read-only") {
                if (flash.readOnly)
                    return Fail("read-only given twice");
                flash.readOnly = true;
                words_.erase(words_.begin() + long(i));
                --i;
            }
        }
        std::vector<std::pair<std::string, std::string>> keys;
        if (!Keys(2, {"device", "base", "bus", "banks", "regions", "drive"}, keys))
            return false;
        bool haveBase = false;
        for (const auto& [key, value] : keys) {
            uint64_t n = 0;
            if (key == "device") {
                CSimFlashGeometry geometry;
                if (!LookupSimFlashGeometry(value, geometry))
                    return Fail(Format("unknown flash device \"%s\"", value.c_str()));
                flash.device = value;
            } else if (key == "base") {
                if (!ParseAddress(value, flash.base))
                    return Fail(Format("bad base address \"%s\"", value.c_str()));
                haveBase = true;
            } else if (key == "bus") {
                if (!ParseNumber(value, 64, n) || (n != 8 && n != 16 && n != 32))
                    return Fail(Format("bus must be 8, 16 or 32, not \"%s\"", value.c_str()));
                flash.busBits = uint32_t(n);
            } else if (key == "banks") {
                if (!ParseNumber(value, 100, n) || n < 1 || n > 16)
                    return Fail(Format("banks must be 1 to 16, not \"%s\"", value.c_str()));
                flash.banks = uint32_t(n);
            } else if (key == "regions") {
                if (!ParseRegions(value, flash.regions))
                    return Fail(Format("bad regions \"%s\" (one to four COUNTxSIZE separated by commas, each "
                                       "size a power of two, K or M allowed)",
                                       value.c_str()));
            } else {
                if (value.empty())
                    return Fail("drive= needs a file name");
                flash.drive = value;
            }
        }
        if (flash.device.empty())
            return Fail("qemu-flash needs device=\"NAME\" (a catalogue name)");
        if (!haveBase)
            return Fail("qemu-flash needs base=ADDR");
        if (flash.busBits == 0)
            return Fail("qemu-flash needs bus=8, 16 or 32");
        board.qemuFlashes.push_back(flash);
        return true;
    }

    static bool ParseRegions(const std::string& text, std::vector<std::pair<uint32_t, uint32_t>>& regions)
    {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        std::stringstream in(text);
        std::string part;
        while (std::getline(in, part, ',')) {
            const size_t x = part.find('x');
            uint64_t count = 0, size = 0;
            if (x == std::string::npos || !ParseNumber(part.substr(0, x), 0xFFFF, count) || count == 0 ||
                !ParseSize(part.substr(x + 1), size) || size == 0 || size > 0x80000000ULL || (size & (size - 1)))
                return false;
            out.emplace_back(uint32_t(count), uint32_t(size));
        }
        if (out.empty() || out.size() > 4 || text.back() == ',')
            return false;
        regions = std::move(out);
        return true;
    }

    int line_;
    std::vector<std::string> words_;
    std::string error_;
};

} // namespace

bool CBoardFile::Parse(const std::string& text, CBoardFile& out, std::string& error)
{
    CBoardFile board;
    std::stringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::vector<std::string> words;
        std::string why;
        if (!SplitWords(line, words, why)) {
            error = Format("line %d: %s", number, why.c_str());
            return false;
        }
        if (words.empty())
            continue;
        CLineParser parser(number, std::move(words));
        if (!parser.Parse(board)) {
            error = parser.Error();
            return false;
        }
    }
    out = std::move(board);
    return true;
}

bool CBoardFile::Read(const std::string& path, CBoardFile& out, std::string& error)
{
    std::string text;
    switch (CBoundedFile::Read(path, kMaxFileBytes, text)) {
    case CBoundedFile::EResult::Ok:
        break;
    case CBoundedFile::EResult::CannotOpen:
        error = Format("cannot open board file \"%s\"", path.c_str());
        return false;
    case CBoundedFile::EResult::TooLarge:
        error = Format("board file \"%s\" is larger than %zu bytes", path.c_str(), kMaxFileBytes);
        return false;
    }
    std::string message;
    if (!Parse(text, out, message)) {
        error = path + ": " + message;
        return false;
    }
    return true;
}

const char* CBoardFile::DefaultText()
{
    return "board Demo board (ARM7, 256 KiB SRAM, 2 MiB flash on a 16-bit bus)\n"
           "ram   0x40000000 256K\n"
           "flash \"AMD  Am29LV160MB (1M x 16)\" base=0x80000000 bus=16 sector-erase=5ms chip-erase=60ms "
           "program=1us\n";
}

CBoardFile CBoardFile::Default()
{
    CBoardFile board;
    std::string error;
    Parse(DefaultText(), board, error); // a constant text, covered by a test
    return board;
}
