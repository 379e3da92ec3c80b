#pragma once

#include "project/memory_range.h"
#include "project/safe_file_writer.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CMemoryImage;

// One S-record line without its line end: "S", the type digit, the count
// (address length + data length + 1), the address (2 bytes for types 0, 1, 5,
// 9; 3 for 2, 6, 8; 4 for 3, 7), the data and the checksum, all upper-case
// hexadecimal. Types 4 and above 9, or data too long for the count byte,
// give an empty string.
std::string FormatSRecord(int type, uint32_t address, const uint8_t* data, size_t length);

// The fixed header record's text and the size of the data records.
inline constexpr const char* kSRecordHeader = "QUELLOR AG, QDX-PROGRAMMER";
inline constexpr uint32_t kSRecordBlock = 32;

enum : int {
    kStoreOk = 0,
    kStoreCannotOpen = 1, // the file (or its temporary twin) cannot be created
    kStoreWriteFailed = 2, // writing failed; the target file is unchanged
};

// Writes an S-record file in two steps, so that a dialog can report a file
// that cannot be created before it starts the (long) write. The file goes
// out through CSafeFileWriter: a new file renamed over the old one, or in
// place where a rename would do harm, or straight into a device or FIFO.
class CSRecordWriter {
public:
    explicit CSRecordWriter(CSafeFileWriter::COps& ops = CSafeFileWriter::SystemOps()) : writer_(ops) {}

    // Opens the way to `fileName`: 0, or 1 when it (or an existing
    // `fileName`) cannot be opened for writing.
    int Create(const std::string& fileName);
    // Writes to an open descriptor (standard output) instead; it stays open.
    void CreateStream(int fd, const std::string& name);
    // Writes the records and puts the file in place: 0, or 2 on a write failure.
    int Write(CMemoryImage& image, const CMemoryRange& range, uint32_t& storedBytes);
    // Why Create or Write failed, in the system's words.
    const std::string& Error() const { return error_; }

private:
    CSafeFileWriter writer_;
    std::string error_;
};

// Create and Write in one: writes `range` of the image as an S-record file: the header, one data
// record for every 32-byte block counted from the range start that holds
// anything but 0xFF, and the end record carrying the range start; the record
// types follow the range's end address. Lines end with CR LF. The file is
// written as CSafeFileWriter writes: a failed store leaves no half file and
// keeps an existing one wherever a rename can replace it. `storedBytes`
// counts the data bytes written.
int WriteSRecordFile(CMemoryImage& image, const CMemoryRange& range, const std::string& fileName,
                     uint32_t& storedBytes);
