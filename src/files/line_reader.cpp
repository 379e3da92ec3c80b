#include "files/line_reader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The first LF or CR of p[0, n), or null: one pass over the line for both.
inline const char* FindLineEnd(const char* p, size_t n)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
        if (hits != 0)
            return p + i + __builtin_ctz(static_cast<unsigned>(hits));
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == '\n' || p[i] == '\r')
            return p + i;
    }
    return nullptr;
}

// Hands out the `n` characters at `start` as a line.
inline CLineReader::EStatus TakeLine(const char* start, size_t n, size_t maxLength, const char*& text,
                                     size_t& length)
{
    if (n > maxLength)
        return CLineReader::EStatus::TooLong;
    text = start;
    length = n;
    return CLineReader::EStatus::Line;
}

} // namespace

CLineReader::~CLineReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool CLineReader::Open(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
    if (!buffer_)
        buffer_ = std::make_unique<char[]>(kBufferSize);
    begin_ = end_ = 0;
    eof_ = false;
    failed_ = false;
    atStart_ = true;
    return true;
}

bool CLineReader::Refill()
{
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    while (!eof_ && end_ < kBufferSize) {
        const ssize_t n = ::read(fd_, buffer_.get() + end_, kBufferSize - end_);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failed_ = true;
            return false;
        }
        if (n == 0)
            eof_ = true;
        end_ += static_cast<size_t>(n);
        if (n > 0)
            break;
    }
    return true;
}

CLineReader::EStatus CLineReader::NextLine(size_t maxLength, const char*& text, size_t& length)
{
    // A line may hold maxLength characters and its line end (LF, CR LF or a
    // lone CR).
    const size_t window = maxLength + 2;
    for (;;) {
        const size_t available = end_ - begin_;
        // A text file may open with a UTF-8 byte-order mark: it is no part of
        // the first line.
        if (atStart_) {
            if (available < 3 && !eof_) {
                if (!Refill())
                    return EStatus::Error;
                continue;
            }
            atStart_ = false;
            if (available >= 3 && std::memcmp(buffer_.get() + begin_, "\xEF\xBB\xBF", 3) == 0) {
                begin_ += 3;
                continue;
            }
        }
        char* start = buffer_.get() + begin_;
        const size_t scan = available < window ? available : window;
        const char* end = FindLineEnd(start, scan);
        const char* lf = end && *end == '\n' ? end : nullptr;
        const char* cr = end && *end == '\r' ? end : nullptr;
        if (cr) {
            const size_t n = static_cast<size_t>(cr - start);
            if (n + 1 < available) {
                // CR LF, or a CR alone ends the line.
                begin_ += n + (start[n + 1] == '\n' ? 2 : 1);
                return TakeLine(start, n, maxLength, text, length);
            }
            if (eof_) {
                begin_ = end_;
                return TakeLine(start, n, maxLength, text, length);
            }
            // A CR as the last byte read: whether an LF follows is not known yet.
        } else if (lf) {
            const size_t n = static_cast<size_t>(lf - start);
            begin_ += n + 1;
            return TakeLine(start, n, maxLength, text, length);
        } else if (available >= window) {
            text = start; // the line's first characters, so that a reader can tell what it is
            length = window;
            return EStatus::TooLong;
        } else if (eof_) {
            if (available == 0)
                return EStatus::End;
            begin_ = end_;
            return TakeLine(start, available, maxLength, text, length);
        }
        if (!Refill())
            return EStatus::Error;
    }
}

long CLineReader::Read(uint8_t* out, size_t count)
{
    size_t done = 0;
    while (done < count) {
        if (begin_ == end_) {
            if (eof_)
                break;
            if (!Refill())
                return -1;
            continue;
        }
        size_t n = end_ - begin_;
        if (n > count - done)
            n = count - done;
        std::memcpy(out + done, buffer_.get() + begin_, n);
        begin_ += n;
        done += n;
    }
    return static_cast<long>(done);
}
