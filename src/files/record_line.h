#pragma once

#include <cstddef>
#include <string>

struct SLoadReport;

// Helpers shared by the text record readers (S-record and Intel HEX).
namespace recordline {

// True when the line holds nothing but blanks (spaces and tabs).
bool IsBlank(const char* line, size_t length);

// The reason for a character that is not a hexadecimal digit, at index `at`
// of the line: "'G' in column 9 is not a hexadecimal digit".
std::string NotHexReason(const char* line, size_t at);

// Index of the first character of [from, from + count) that is not a
// hexadecimal digit (from + count when all are).
size_t FirstNonHex(const char* line, size_t from, size_t count);

// The reason for a character after a record's checksum, at index `at`:
// "'7' in column 45 follows the record's checksum".
std::string AfterChecksumReason(const char* line, size_t at);

// True when the line, after any blanks, opens like an S-record: "S" or "s"
// and a decimal digit.
bool StartsLikeSRecord(const char* line, size_t length);
// True when the line's first character that is not blank is ":".
bool StartsLikeIntelHex(const char* line, size_t length);

// Why a record file that was read to its end is refused.
inline constexpr const char* kNoDataReason = "the file holds no data";

// "line longer than %zu characters"
std::string TooLongReason(size_t maxLength);

// Refuses a record file at `lineNumber` for `reason`: both go into the
// report (when there is one); answers kLoadRefused.
int Refuse(SLoadReport* report, unsigned long lineNumber, std::string reason);
// Answers kLoadNotFormat, with the line and the reason in the report for a
// load that asked for this format by name.
int NotFormat(SLoadReport* report, unsigned long lineNumber, std::string reason);

} // namespace recordline
