#include "files/srecord_writer.h"

#include "common/hex_digits.h"
#include "common/text_format.h"
#include "project/memory_image.h"

#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int AddressLength(int type)
{
    switch (type) {
    case 0: case 1: case 5: case 9: return 2;
    case 2: case 6: case 8: return 3;
    case 3: case 7: return 4;
    default: return 0;
    }
}

// Writes the 2 * n upper-case hex digits of `in`. Four bytes at a time: each
// byte is spread into a 16-bit lane, split into its two nibbles (high first
// in memory), and every nibble turned into its digit with one add per lane.
inline void HexDigits(char* out, const uint8_t* in, size_t n)
{
    for (; std::endian::native == std::endian::little && n >= 4; n -= 4, in += 4, out += 8) {
        uint32_t x;
        std::memcpy(&x, in, 4);
        uint64_t s = x;
        s = (s | s << 16) & 0x0000FFFF0000FFFFull;
        s = (s | s << 8) & 0x00FF00FF00FF00FFull;
        const uint64_t nibbles = (s >> 4 & 0x000F000F000F000Full) | (s & 0x000F000F000F000Full) << 8;
        const uint64_t letters = ((nibbles + 0x0606060606060606ull) >> 4) & 0x0101010101010101ull;
        const uint64_t digits = nibbles + 0x3030303030303030ull + letters * 7;
        std::memcpy(out, &digits, 8);
    }
    for (; n > 0; --n, ++in, out += 2)
        std::memcpy(out, hexdigits::kPair[*in].data(), 2);
}

// Longest line: "S" type, count, 4 address bytes, 250 data bytes, checksum.
constexpr size_t kMaxLine = 4 + 2 * 255;

// Formats one record into `out` (at least kMaxLine characters); returns its
// length, 0 when the type or length cannot be written.
size_t FormatInto(char* out, int type, uint32_t address, const uint8_t* data, size_t length)
{
    const int addressLength = AddressLength(type);
    if (addressLength == 0 || length + addressLength + 1 > 255)
        return 0;
    const auto count = static_cast<unsigned>(addressLength + length + 1);
    char* p = out;
    *p++ = 'S';
    *p++ = static_cast<char>('0' + type);
    unsigned sum = count;
    std::memcpy(p, hexdigits::kPair[count].data(), 2);
    p += 2;
    for (int i = addressLength - 1; i >= 0; --i) {
        const auto b = static_cast<uint8_t>(address >> (8 * i));
        sum += b;
        std::memcpy(p, hexdigits::kPair[b].data(), 2);
        p += 2;
    }
    for (size_t i = 0; i < length; ++i)
        sum += data[i];
    HexDigits(p, data, length);
    p += 2 * length;
    std::memcpy(p, hexdigits::kPair[static_cast<uint8_t>(~sum)].data(), 2);
    p += 2;
    return static_cast<size_t>(p - out);
}

bool AllFF(const uint8_t* p, size_t n)
{
    uint64_t acc = ~uint64_t{0};
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        acc &= w;
    }
    for (; i < n; ++i)
        acc &= 0xFFFFFFFFFFFFFF00ull | p[i];
    return acc == ~uint64_t{0};
}

// Collects formatted lines and hands them to the file writer in large pieces.
class COutput {
public:
    static constexpr size_t kSize = size_t{1} << 20;

    explicit COutput(CSafeFileWriter& writer) : writer_(writer), buffer_(std::make_unique<char[]>(kSize + kMaxLine + 2)) {}

    bool Record(int type, uint32_t address, const uint8_t* data, size_t length)
    {
        const size_t n = FormatInto(buffer_.get() + used_, type, address, data, length);
        buffer_[used_ + n] = '\r';
        buffer_[used_ + n + 1] = '\n';
        used_ += n + 2;
        return used_ < kSize || Flush();
    }

    bool Flush()
    {
        const bool ok = writer_.Append(buffer_.get(), used_, error_);
        used_ = 0;
        return ok;
    }

    const std::string& Error() const { return error_; }

private:
    CSafeFileWriter& writer_;
    std::unique_ptr<char[]> buffer_;
    size_t used_ = 0;
    std::string error_;
};

} // namespace

std::string FormatSRecord(int type, uint32_t address, const uint8_t* data, size_t length)
{
    char line[kMaxLine];
    return std::string(line, FormatInto(line, type, address, data, length));
}

int WriteSRecordFile(CMemoryImage& image, const CMemoryRange& range, const std::string& fileName,
                     uint32_t& storedBytes)
{
    storedBytes = 0;
    CSRecordWriter writer;
    const int created = writer.Create(fileName);
    return created != kStoreOk ? created : writer.Write(image, range, storedBytes);
}

int CSRecordWriter::Create(const std::string& fileName)
{
    // An existing file we could not open for writing is refused, as it always
    // was, even though replacing it by a rename would work.
    struct stat existing {};
    if (::stat(fileName.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)
        && ::access(fileName.c_str(), W_OK) != 0) {
        error_ = Format("%s: %s", fileName.c_str(), std::strerror(EACCES));
        return kStoreCannotOpen;
    }
    return writer_.Begin(fileName, error_) ? kStoreOk : kStoreCannotOpen;
}

void CSRecordWriter::CreateStream(int fd, const std::string& name)
{
    writer_.BeginStream(fd, name);
}

int CSRecordWriter::Write(CMemoryImage& image, const CMemoryRange& range, uint32_t& storedBytes)
{
    storedBytes = 0;
    if (writer_.Mode() == CSafeFileWriter::EMode::None)
        return kStoreWriteFailed;
    int dataType = 3;
    int endType = 7;
    if (range.GetEnd() <= 0xFFFF) {
        dataType = 1;
        endType = 9;
    } else if (range.GetEnd() <= 0xFFFFFF) {
        dataType = 2;
        endType = 8;
    }

    bool ok = true;
    {
        COutput out(writer_);
        ok = out.Record(0, 0, reinterpret_cast<const uint8_t*>(kSRecordHeader), std::strlen(kSRecordHeader));
        // The image is read in large spans; blocks are counted from the range
        // start, and a span holds whole blocks but for the range's last one.
        constexpr uint32_t kSpan = uint32_t{1} << 20;
        auto span = std::make_unique<uint8_t[]>(kSpan);
        uint32_t address = range.GetStart();
        uint32_t remaining = range.GetSize();
        while (ok && remaining > 0) {
            const uint32_t n = remaining < kSpan ? remaining : kSpan;
            image.ReadBlock(address, span.get(), n);
            for (uint32_t i = 0; ok && i < n; i += kSRecordBlock) {
                const uint32_t len = n - i < kSRecordBlock ? n - i : kSRecordBlock;
                if (AllFF(span.get() + i, len))
                    continue;
                ok = out.Record(dataType, address + i, span.get() + i, len);
                storedBytes += len;
            }
            address += n;
            remaining -= n;
        }
        ok = ok && out.Record(endType, range.GetStart(), nullptr, 0) && out.Flush();
        if (!ok)
            error_ = out.Error();
    }
    if (!ok) {
        writer_.Abandon();
        return kStoreWriteFailed;
    }
    if (!writer_.Commit(error_))
        return kStoreWriteFailed;
    return kStoreOk;
}
