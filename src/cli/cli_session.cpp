#include "cli/cli_session.h"

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// Kept ready for the signal handler, which may only make plain system calls.
char gImagePath[PATH_MAX];
char gImageDir[PATH_MAX];

extern "C" void RemoveImageAndExit(int signal)
{
    if (gImagePath[0])
        ::unlink(gImagePath);
    if (gImageDir[0])
        ::rmdir(gImageDir);
    ::_exit(128 + signal);
}

} // namespace

CCliSession::CCliSession(const CMemoryRange& physical, CCliMessageBox::EAnswer answer)
    : physical_(physical), box_(answer), image_(std::make_unique<CMemoryImage>())
{
}

CCliSession::~CCliSession()
{
    image_.reset(); // closes and deletes the backing file
    if (!dir_.empty())
        ::rmdir(dir_.c_str());
    gImagePath[0] = gImageDir[0] = '\0';
}

bool CCliSession::OpenImage()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarvel-cli-XXXXXX";
    char cwd[PATH_MAX];
    if (!::mkdtemp(templ.data()) || !::getcwd(cwd, sizeof cwd)) {
        std::fprintf(stderr, "Fatal Error: cannot create a directory for the memory image in %s\n",
                     tmp && *tmp ? tmp : "/tmp");
        return false;
    }
    dir_ = templ;
    int result = 1;
    if (::chdir(dir_.c_str()) == 0) {
        result = image_->Open(physical_.GetStart());
        if (::chdir(cwd) != 0)
            result = 1;
    }
    if (result != 0) {
        std::fprintf(stderr, "Fatal Error: cannot create the memory image in %s\n", dir_.c_str());
        return false;
    }
    std::snprintf(gImagePath, sizeof gImagePath, "%s", image_->GetPath().c_str());
    std::snprintf(gImageDir, sizeof gImageDir, "%s", dir_.c_str());
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        std::signal(s, RemoveImageAndExit);
    return true;
}
