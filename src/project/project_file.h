#pragma once

#include "project/qpg_doc_fields.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CArchive;

// The project file's form: the 42 items of a project in their order, and the
// bounded read of a whole file. CQpgDoc adds the steps around them (reset,
// after-read checks, atomic save).
class CProjectFile {
  public:
    // Writes or reads `fields` in the archive's direction. A read that fails
    // leaves the archive failed; the fields read so far keep the file's values.
    static void Serialize(SQpgDocFields &fields, CArchive &ar);
    // Reads the whole regular file `path` of at most `limit` bytes; false
    // with the system's reason (or "not a project file") in `error`.
    static bool ReadWholeFile(const std::string &path, size_t limit, std::vector<uint8_t> &out,
                              std::string &error);
};
