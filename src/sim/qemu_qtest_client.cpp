#include "sim/qemu_qtest_client.h"

#include "common/text_format.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const char* ReadCommand(int width)
{
    return width == 1 ? "readb" : width == 2 ? "readw" : "readl";
}

const char* WriteCommand(int width)
{
    return width == 1 ? "writeb" : width == 2 ? "writew" : "writel";
}

// A private folder for the socket and QEMU's error output. Unix socket paths
// are short (108 bytes): a long TMPDIR falls back to /tmp.
std::string MakePrivateFolder()
{
    std::string root = "/tmp";
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp && std::strlen(tmp) < 70)
        root = tmp;
    std::string pattern = root + "/tarvel-qemu-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data()))
        return {};
    return buffer.data();
}

} // namespace

CQemuQtestClient::~CQemuQtestClient()
{
    Stop();
}

std::string CQemuQtestClient::FindProgram()
{
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty())
            continue;
        const std::string candidate = dir + "/" + kProgram;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

bool CQemuQtestClient::Fail(const std::string& why)
{
    if (error_.empty())
        error_ = why;
    return false;
}

std::string CQemuQtestClient::QemuLastWords() const
{
    std::ifstream in(folder_ + "/qemu.err");
    std::string line, words;
    while (std::getline(in, line)) {
        // The machines' missing network peers, audio and SD cards are noise.
        if (line.find("qemu-system-arm:") != 0 || line.find("warning:") != std::string::npos)
            continue;
        words += (words.empty() ? "" : "; ") + line;
    }
    return words;
}

bool CQemuQtestClient::Start(const std::string& program, const std::vector<std::string>& arguments,
                             std::string& error)
{
    Stop();
    error_.clear();
    folder_ = MakePrivateFolder();
    if (folder_.empty()) {
        error = Format("cannot create a folder for QEMU's socket: %s", std::strerror(errno));
        return false;
    }
    const std::string socketPath = folder_ + "/qtest.sock";
    const std::string errPath = folder_ + "/qemu.err";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socketPath.c_str(), sizeof addr.sun_path - 1);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener, 1) != 0) {
        error = Format("cannot listen on %s: %s", socketPath.c_str(), std::strerror(errno));
        if (listener >= 0)
            ::close(listener);
        Stop();
        return false;
    }

    // Everything the child needs is made before fork: between fork and exec
    // only async-signal-safe calls are made.
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    for (const char* extra : {"-qtest", "", "-qtest-log", "/dev/null"})
        args.emplace_back(extra);
    args[args.size() - 3] = "unix:" + socketPath;
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();

    pid_ = ::fork();
    if (pid_ < 0) {
        error = Format("cannot start %s: %s", program.c_str(), std::strerror(errno));
        ::close(listener);
        Stop();
        return false;
    }
    if (pid_ == 0) {
        // QEMU goes when the simulator goes, however it ends.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        const int null = ::open("/dev/null", O_RDWR);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (null < 0 || err < 0)
            ::_exit(127);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(err, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    for (;;) {
        pollfd p{listener, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
            fd_ = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            break;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            const std::string words = QemuLastWords();
            error = Format("%s ended before it was ready", program.c_str()) +
                    (words.empty() ? std::string(WIFEXITED(status) && WEXITSTATUS(status) == 127
                                                     ? " (it could not be run)"
                                                     : "")
                                   : ": " + words);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error = Format("%s did not connect within %d ms", program.c_str(), kStartTimeoutMs);
            break;
        }
    }
    ::close(listener);
    ::unlink(socketPath.c_str());
    if (fd_ < 0) {
        if (error.empty())
            error = Format("cannot accept QEMU's connection: %s", std::strerror(errno));
        Stop();
        return false;
    }
    return true;
}

void CQemuQtestClient::Stop()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        bool ended = false;
        for (int i = 0; i < 200 && !ended; ++i) {
            ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
            if (!ended)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!ended) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
        pid_ = -1;
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        folder_.clear();
    }
    pendingReads_.clear();
    in_.clear();
}

bool CQemuQtestClient::Send(const std::string& line)
{
    if (!Alive())
        return Fail("QEMU is not running");
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::send(fd_, line.data() + done, line.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(Format("lost QEMU's qtest socket: %s", std::strerror(errno)));
        done += size_t(n);
    }
    ++cycles_;
    return true;
}

bool CQemuQtestClient::ReceiveLine(std::string& line)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(replyTimeoutMs_);
    for (;;) {
        const size_t eol = in_.find('\n');
        if (eol != std::string::npos) {
            line = in_.substr(0, eol);
            in_.erase(0, eol + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return Fail(Format("QEMU did not answer within %d ms", replyTimeoutMs_));
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const std::string words = QemuLastWords();
            return Fail("QEMU closed its qtest socket" + (words.empty() ? std::string() : ": " + words));
        }
        in_.append(buffer, size_t(n));
    }
}

bool CQemuQtestClient::Collect(int keep, std::vector<uint32_t>* values)
{
    while (int(pendingReads_.size()) > keep) {
        std::string line;
        if (!ReceiveLine(line))
            return false;
        const bool isRead = pendingReads_.front();
        pendingReads_.erase(pendingReads_.begin());
        if (line.rfind("OK", 0) != 0)
            return Fail("QEMU refused a bus cycle: " + line);
        if (!isRead)
            continue;
        const size_t at = line.find("0x");
        if (at == std::string::npos)
            return Fail("QEMU's read reply has no value: " + line);
        char* end = nullptr;
        const unsigned long long value = std::strtoull(line.c_str() + at + 2, &end, 16);
        if (values)
            values->push_back(uint32_t(value));
    }
    return true;
}

bool CQemuQtestClient::Flush()
{
    return Alive() && Collect(0, nullptr);
}

bool CQemuQtestClient::Write(uint64_t address, int widthBytes, uint32_t value)
{
    if (!Alive())
        return false;
    if (int(pendingReads_.size()) >= kMaxPending && !Collect(0, nullptr))
        return false;
    char line[64];
    std::snprintf(line, sizeof line, "%s 0x%llx 0x%x\n", WriteCommand(widthBytes),
                  static_cast<unsigned long long>(address), value);
    if (!Send(line))
        return false;
    pendingReads_.push_back(false);
    return true;
}

bool CQemuQtestClient::ReadMany(const std::vector<uint64_t>& addresses, int widthBytes, std::vector<uint32_t>& values)
{
    values.clear();
    if (!Alive())
        return false;
    for (uint64_t address : addresses) {
        if (int(pendingReads_.size()) >= kMaxPending && !Collect(0, &values))
            return false;
        char line[48];
        std::snprintf(line, sizeof line, "%s 0x%llx\n", ReadCommand(widthBytes),
                      static_cast<unsigned long long>(address));
        if (!Send(line))
            return false;
        pendingReads_.push_back(true);
    }
    return Collect(0, &values) && values.size() == addresses.size();
}

bool CQemuQtestClient::AwaitReady(uint64_t address, int widthBytes, std::string& error)
{
    replyTimeoutMs_ = kStartTimeoutMs;
    uint32_t value = 0;
    const bool ok = Read(address, widthBytes, value);
    replyTimeoutMs_ = kReplyTimeoutMs;
    if (!ok)
        error = error_;
    return ok;
}

bool CQemuQtestClient::Read(uint64_t address, int widthBytes, uint32_t& value)
{
    std::vector<uint32_t> values;
    if (!ReadMany({address}, widthBytes, values))
        return false;
    value = values[0];
    return true;
}
