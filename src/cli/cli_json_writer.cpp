#include "cli/cli_json_writer.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

CCliJsonWriter::~CCliJsonWriter()
{
    if (file_)
        std::fclose(file_);
}

bool CCliJsonWriter::Open(const std::string& path, std::string& error)
{
    if (path.empty()) {
        error = "--json needs a file name, or - for standard output";
        return false;
    }
    path_ = path;
    if (path == "-") {
        // The records keep standard output to themselves: they go to a copy
        // of it, and everything the program prints there goes to stderr.
        std::fflush(stdout);
        const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        file_ = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
        if (!file_ || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
            error =
                std::string("--json -: cannot keep standard output for the records: ") + std::strerror(errno);
            return false;
        }
        return true;
    }
    file_ = std::fopen(path.c_str(), "we");
    if (!file_) {
        error = "--json: cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool CCliJsonWriter::Write(const nlohmann::json& object)
{
    if (!file_)
        return false;
    // Invalid UTF-8 in a message (a file name) is replaced, never thrown on.
    const std::string line = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    const bool ok = std::fwrite(line.data(), 1, line.size(), file_) == line.size() && std::fflush(file_) == 0;
    if (!ok && !failed_) {
        failed_ = true;
        std::fprintf(stderr, "tarvel-cli: --json: writing %s failed: %s\n", path_.c_str(),
                     std::strerror(errno));
    }
    return ok;
}
