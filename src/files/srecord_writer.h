#pragma once

#include "project/memory_range.h"

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
// that cannot be created before it starts the (long) write.
class CSRecordWriter {
public:
    CSRecordWriter() = default;
    ~CSRecordWriter(); // removes the temporary file of an unfinished write
    CSRecordWriter(const CSRecordWriter&) = delete;
    CSRecordWriter& operator=(const CSRecordWriter&) = delete;

    // Creates the temporary file beside `fileName`: 0, or 1 when it (or an
    // existing `fileName`) cannot be opened for writing.
    int Create(const std::string& fileName);
    // Writes the records and puts the file in place: 0, or 2 on a write failure.
    int Write(CMemoryImage& image, const CMemoryRange& range, uint32_t& storedBytes);

private:
    int fd_ = -1;
    std::string target_;
    std::string temp_;
};

// Create and Write in one: writes `range` of the image as an S-record file: the header, one data
// record for every 32-byte block counted from the range start that holds
// anything but 0xFF, and the end record carrying the range start; the record
// types follow the range's end address. Lines end with CR LF. The file is
// written beside `fileName` under a temporary name and renamed over it only
// when complete, so a failed store leaves no half file and keeps an existing
// one. `storedBytes` counts the data bytes written.
int WriteSRecordFile(CMemoryImage& image, const CMemoryRange& range, const std::string& fileName,
                     uint32_t& storedBytes);
