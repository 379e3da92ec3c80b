#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Reads a program file through one large buffer: text lines for the S-record
// and Intel HEX readers (found with memchr, handed out as views into the
// buffer), raw bytes for the absolute reader. Memory stays bounded by the
// buffer whatever the file holds.
class CLineReader {
public:
    static constexpr size_t kBufferSize = size_t{1} << 20;

    enum class EStatus {
        Line,    // a line, without its line end (LF, CR LF or a lone CR)
        TooLong, // the next line holds more than the allowed characters; `text`
                 // holds its first ones
        End,     // no more lines
        Error,   // the file could not be read
    };

    CLineReader() = default;
    ~CLineReader();
    CLineReader(const CLineReader&) = delete;
    CLineReader& operator=(const CLineReader&) = delete;

    // Opens `path` for reading; false when it cannot be opened or is a directory.
    bool Open(const std::string& path);

    // The next line of at most `maxLength` characters. A UTF-8 byte-order
    // mark at the start of the file is skipped. `text` stays valid until the
    // next call.
    EStatus NextLine(size_t maxLength, const char*& text, size_t& length);

    // Copies up to `count` bytes; returns how many (fewer only at the end of
    // the file), or -1 when the file could not be read.
    long Read(uint8_t* out, size_t count);

    // True once a read of the file failed.
    bool Failed() const { return failed_; }

private:
    // Reads more of the file behind the unread bytes; false on a read error.
    bool Refill();

    int fd_ = -1;
    std::unique_ptr<char[]> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    bool failed_ = false;
    bool atStart_ = true; // no line handed out yet: a byte-order mark may come
};
