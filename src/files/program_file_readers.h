#pragma once

#include "project/memory_range.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CMemoryImage;
class CLineReader;

// The four program file readers. Each writes the file's bytes into the image
// at the file's addresses plus `loadOffset` (32-bit wrap-around), sets
// `bytesLoaded` (0 at entry, every data byte the file delivered, including
// those that fell outside the image window) and, on a completed read,
// `fileRange` = Set(lowest, highest, 0) over the addresses written.
// A load is all or nothing: a reader that does not finish (not its format,
// a refused line, a read error, a failed image) leaves the image as it was.

// Reader results.
enum : int {
    kLoadOk = 0,        // read completely, everything inside the image window and the physical range
    kLoadCannotOpen = 1, // the file cannot be opened (or could not be read)
    kLoadNotFormat = 2, // not this reader's format: the next reader is tried
    kLoadOutside = 3,   // read completely, but some bytes lay outside the window or the physical range
    kLoadImageFailed = 4, // the memory image failed; reading stopped at once
    kLoadRefused = 5,   // a record file with a bad line, or a binary file that runs past address
                        // 0xFFFFFFFF from its load offset: refused, no other reader is tried
};

// What a reader tells besides its result: where and why a file was refused
// (result 5), and the address spans a completed load wrote (sorted, merged
// where they touch; a file with holes has several).
struct SLoadReport {
    unsigned long line = 0; // 1 for the file's first line
    std::string reason;
    std::vector<CMemoryRange> spans;
    // A completed load wrote an address twice with different bytes (the
    // later bytes stay): the first such address found.
    bool overlap = false;
    uint32_t overlapAddress = 0;
    // The ELF reader: the file's byte order.
    bool elf = false;
    bool elfBigEndian = false;
};

// Longest line (without its line end) each text reader accepts; a longer
// line makes the file not of that format.
inline constexpr size_t kSRecordMaxLine = 519;
inline constexpr size_t kIntelHexMaxLine = 549;

// The text readers take a file as theirs when its first line that is not
// blank holds a well-formed record (S-record: types 0 to 3; Intel HEX: types
// 00 to 05); from then on a line that is not (checksum, digits, length, type,
// a line too long) refuses the file with 5 and `problem` says where and why.
// Blank lines are skipped. The ELF reader takes files that begin with the ELF
// magic and refuses those it cannot load with 5 (line 0).
int LoadElfFile(const std::string& fileName, CMemoryImage& image, uint32_t& bytesLoaded, CMemoryRange& fileRange,
                const CMemoryRange& physical, uint32_t loadOffset, SLoadReport* problem = nullptr);
int LoadAbsFile(const std::string& fileName, CMemoryImage& image, uint32_t& bytesLoaded, CMemoryRange& fileRange,
                const CMemoryRange& physical, uint32_t loadOffset, SLoadReport* problem = nullptr);
int LoadSRecordFile(const std::string& fileName, CMemoryImage& image, uint32_t& bytesLoaded,
                    CMemoryRange& fileRange, const CMemoryRange& physical, uint32_t loadOffset,
                    SLoadReport* problem = nullptr);
int LoadIntelHexFile(const std::string& fileName, CMemoryImage& image, uint32_t& bytesLoaded,
                     CMemoryRange& fileRange, const CMemoryRange& physical, uint32_t loadOffset,
                     SLoadReport* problem = nullptr);
int LoadBinaryFile(const std::string& fileName, CMemoryImage& image, uint32_t& bytesLoaded,
                   CMemoryRange& fileRange, const CMemoryRange& physical, uint32_t loadOffset,
                   SLoadReport* problem = nullptr);

// One decoded S-record: type digit, count byte and the count bytes that
// follow it (address, data, checksum).
struct SSRecord {
    int type = 0;
    uint8_t count = 0;
    uint8_t bytes[255] = {};
    // The low 8 bits of the sum of the `count` bytes, checksum included
    // (set by DecodeSRecordLine).
    uint8_t byteSum = 0;

    // Address bytes of a data or termination type (2, 3 or 4), 0 for others.
    int AddressLength() const;
    uint32_t Address() const;
    // True when the last byte is the one's complement of the sum of the count
    // byte and all bytes before it.
    bool ChecksumOk() const;
};

enum class ESRecordLine {
    Record,    // `record` holds the line's record
    NoRecord,  // the line holds no "S": skipped
    Malformed, // an "S" that is not followed by a whole record
    EndOfFile, // no more lines
    TooLong,   // the line is longer than kSRecordMaxLine
    ReadError, // the file could not be read
};

// Decodes one line (without its line end): the first "S" or "s", a decimal
// type digit, two hex digits of count and count pairs of hex digits. A
// non-hex digit, a count of 0, a data record whose count cannot hold its
// address and checksum, or a count running past the end of the line make
// the line malformed, and `reason` (when given) says which; characters after
// the record are ignored. The checksum is not checked here.
ESRecordLine DecodeSRecordLine(const char* line, size_t length, SSRecord& record, std::string* reason = nullptr);
// Reads the next line of `file` and decodes it.
ESRecordLine ParseSRecordLine(CLineReader& file, SSRecord& record, std::string* reason = nullptr);
