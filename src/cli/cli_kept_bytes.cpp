#include "cli/cli_kept_bytes.h"

#include "common/text_format.h"
#include "files/srecord_writer.h"
#include "project/memory_image.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kPrefix = "tarvel-kept-";
constexpr const char* kSuffix = ".srec";

bool MakeDirectories(const std::string& path)
{
    for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string Quoted(const std::string& text)
{
    if (text.find_first_of(" '\"\\$`") == std::string::npos)
        return text;
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

std::string CCliKeptBytes::Directory()
{
    if (const char* dir = std::getenv("TARVEL_STATE_DIR"); dir && *dir)
        return dir;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return std::string(state) + "/tarvel";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/state/tarvel";
}

std::vector<SCliRestoreFile> CCliKeptBytes::Leftovers()
{
    std::vector<SCliRestoreFile> found;
    const std::string dir = Directory();
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return found;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        unsigned first = 0, last = 0;
        int pid = 0, used = 0;
        if (name.rfind(kPrefix, 0) != 0 || name.size() < std::strlen(kSuffix) ||
            name.compare(name.size() - std::strlen(kSuffix), std::string::npos, kSuffix) != 0)
            continue;
        if (std::sscanf(name.c_str() + std::strlen(kPrefix), "%8X-%8X-%d%n", &first, &last, &pid, &used) != 3)
            continue;
        found.push_back({dir + "/" + name, first, last});
    }
    ::closedir(d);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
    return found;
}

std::string CCliKeptBytes::Save(CMemoryImage& image, const std::vector<CMemoryRange>& gaps, std::string& error)
{
    if (gaps.empty()) {
        error = "nothing to keep";
        return {};
    }
    const std::string dir = Directory();
    if (!MakeDirectories(dir)) {
        error = Format("cannot create %s: %s", dir.c_str(), std::strerror(errno));
        return {};
    }
    const uint32_t first = gaps.front().GetStart();
    const uint32_t last = gaps.back().GetEnd();
    const std::string path = dir + "/" + kPrefix + Format("%08X-%08X-%d", first, last, static_cast<int>(::getpid())) + kSuffix;
    const std::string temporary = path + ".new";

    std::string text = FormatSRecord(0, 0, reinterpret_cast<const uint8_t*>(kSRecordHeader),
                                     std::strlen(kSRecordHeader)) + "\r\n";
    uint8_t block[kSRecordBlock];
    for (const CMemoryRange& gap : gaps) {
        const uint64_t end = uint64_t{gap.GetStart()} + gap.GetSize();
        for (uint64_t at = gap.GetStart(); at < end; at += kSRecordBlock) {
            const uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(kSRecordBlock, end - at));
            image.ReadBlock(static_cast<uint32_t>(at), block, length);
            // Erased bytes need no restoring.
            if (std::all_of(block, block + length, [](uint8_t b) { return b == 0xFF; }))
                continue;
            text += FormatSRecord(3, static_cast<uint32_t>(at), block, length) + "\r\n";
        }
    }
    text += FormatSRecord(7, first, nullptr, 0) + "\r\n";

    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = Format("cannot create %s: %s", temporary.c_str(), std::strerror(errno));
        return {};
    }
    const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = Format("cannot write %s: %s", path.c_str(), std::strerror(written ? errno : savedErrno));
        ::unlink(temporary.c_str());
        return {};
    }
    // The name must survive a power cut as well as the bytes.
    if (const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return path;
}

std::string CCliKeptBytes::RestoreHint(const std::string& path, const std::string& project, const std::string& probe)
{
    std::string command = "tarvel-cli";
    if (!project.empty())
        command += " --project " + Quoted(project);
    command += probe.empty() ? std::string(" --probe HOST[:PORT]") : " --probe " + Quoted(probe);
    return "put them back with: " + command + " load " + Quoted(path) + " program verify" +
           "; then remove the file";
}
