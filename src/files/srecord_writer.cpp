#include "files/srecord_writer.h"

#include "common/hex_digits.h"
#include "project/memory_image.h"

#include <bit>
#include <cerrno>
#include <climits>
#include <cstdlib>
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

bool WriteAll(int fd, const char* data, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        data += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Collects formatted lines and writes them in large pieces.
class COutput {
public:
    static constexpr size_t kSize = size_t{1} << 20;

    explicit COutput(int fd) : fd_(fd), buffer_(std::make_unique<char[]>(kSize + kMaxLine + 2)) {}

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
        const bool ok = WriteAll(fd_, buffer_.get(), used_);
        used_ = 0;
        return ok;
    }

private:
    int fd_;
    std::unique_ptr<char[]> buffer_;
    size_t used_ = 0;
};

// Where the file really goes: a symbolic link is followed, so that the file
// it names is replaced and the link stays.
std::string ResolveTarget(const std::string& fileName)
{
    struct stat st {};
    if (::lstat(fileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(fileName.c_str(), resolved))
            return resolved;
    }
    return fileName;
}

mode_t CreationMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

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

CSRecordWriter::~CSRecordWriter()
{
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_.c_str());
    }
}

int CSRecordWriter::Create(const std::string& fileName)
{
    target_ = ResolveTarget(fileName);
    // An existing file we could not open for writing is refused, as it always
    // was, even though replacing it by a rename would work.
    struct stat existing {};
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (exists && (S_ISDIR(existing.st_mode) || ::access(target_.c_str(), W_OK) != 0))
        return kStoreCannotOpen;

    const size_t slash = target_.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (base.empty())
        return kStoreCannotOpen;
    temp_ = dir + "." + base + ".XXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0)
        return kStoreCannotOpen;
    // The finished file gets the mode the replaced one had, or the usual one.
    (void)::fchmod(fd_, exists ? (existing.st_mode & 07777) : CreationMode());
    return kStoreOk;
}

int CSRecordWriter::Write(CMemoryImage& image, const CMemoryRange& range, uint32_t& storedBytes)
{
    storedBytes = 0;
    if (fd_ < 0)
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
        COutput out(fd_);
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
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        ok = false;
    if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0)
        ok = false;
    if (!ok) {
        ::unlink(temp_.c_str());
        return kStoreWriteFailed;
    }
    return kStoreOk;
}
