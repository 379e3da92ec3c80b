#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdio>
#include <string>

// --json FILE: JSON Lines, one object per line, written and flushed as each
// step ends on each probe, and a summary object last. "-" is standard output
// (the human lines then go to standard error).
class CCliJsonWriter {
  public:
    CCliJsonWriter() = default;
    ~CCliJsonWriter();
    CCliJsonWriter(const CCliJsonWriter &) = delete;
    CCliJsonWriter& operator=(const CCliJsonWriter &) = delete;

    // Opens (creates or truncates) the file before anything runs, so a path
    // that cannot be written stops the run at once; false with `error`.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const { return file_ != nullptr; }
    // A record could not be written (the run then does not end with 0).
    bool Failed() const { return failed_; }

    // One object on one line. False (once reported on stderr) when the file
    // could not take it: a lost record is never silent.
    bool Write(const nlohmann::json& object);

  private:
    FILE* file_ = nullptr;
    std::string path_;
    bool failed_ = false;
};
