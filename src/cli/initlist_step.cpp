// initlist NAME FILE: replaces one of the project's five init lists by the
// entries of a text file, one display line per entry ("WM32<tab>FFE00000
// <tab>00000001<tab>comment"); every line is checked before anything changes.
// initlist NAME --export FILE: writes the list out in the same form.
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "commands/init_list_command.h"
#include "common/bounded_file.h"
#include "common/text_format.h"
#include "project/safe_file_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <unistd.h>
#include <sstream>
#include <sys/stat.h>

namespace {

// Up to `limit` bytes of standard input.
std::string ReadStandardInput(size_t limit)
{
    std::string text;
    char buffer[1 << 14];
    while (text.size() < limit) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

struct SListName {
    const char* name;
    CQpgDoc::EInitList list;
};

const SListName kListNames[] = {
    {"main", CQpgDoc::MainList},
    {"pre-erase", CQpgDoc::PreEraseList},
    {"post-erase", CQpgDoc::PostEraseList},
    {"pre-program", CQpgDoc::PreProgramList},
    {"post-program", CQpgDoc::PostProgramList},
};

// An init list file holds a few hundred lines at most.
constexpr std::streamoff kMaxListFile = 4 * 1024 * 1024;

class CInitListStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("initlist", {"--export"}, 2, a, error, {}, 1))
            return false;
        if (a.positionals.empty()) {
            error = "initlist: NAME is missing";
            return false;
        }
        bool known = false;
        for (const auto& n : kListNames) {
            if (a.positionals[0] == n.name) {
                list_ = n.list;
                name_ = n.name;
                known = true;
            }
        }
        if (!known) {
            error = "initlist: NAME is one of main, pre-erase, post-erase, pre-program, post-program";
            return false;
        }
        export_ = a.Has("--export");
        if (export_ == (a.positionals.size() == 2)) {
            error = "initlist: wants either FILE (to read the list) or --export FILE (to write it)";
            return false;
        }
        file_ = export_ ? a.options["--export"] : a.positionals[1];
        return true;
    }

    int Run(CCliSession& session) override
    {
        return export_ ? Export(session) : Import(session);
    }

private:
    int Import(CCliSession& session)
    {
        if (file_ == "-")
            return ImportText(session, ReadStandardInput(kMaxListFile + 1), "standard input");
        std::string text;
        switch (CBoundedFile::Read(file_, kMaxListFile, text)) {
        case CBoundedFile::EResult::Ok:
            break;
        case CBoundedFile::EResult::CannotOpen:
            std::fprintf(stderr, "tarvel-cli: initlist %s: cannot open %s: %s\n", name_.c_str(), file_.c_str(),
                         std::strerror(errno));
            return kExitFailed;
        case CBoundedFile::EResult::TooLarge:
            std::fprintf(stderr, "tarvel-cli: initlist %s: %s is not an init list (too large)\n", name_.c_str(),
                         file_.c_str());
            return kExitFailed;
        }
        return ImportText(session, text, file_);
    }

    int ImportText(CCliSession& session, const std::string& text, const std::string& from)
    {
        if (text.size() > static_cast<size_t>(kMaxListFile)) {
            std::fprintf(stderr, "tarvel-cli: initlist %s: %s is not an init list (too large)\n", name_.c_str(),
                         from.c_str());
            return kExitFailed;
        }
        CInitListCommand command(session.Doc(), list_);
        std::string errors;
        if (!command.Import(text, errors)) {
            std::fprintf(stderr, "tarvel-cli: initlist %s: %s: the list is unchanged:\n%s\n", name_.c_str(),
                         from.c_str(), errors.c_str());
            return kExitFailed;
        }
        const bool changed = command.StoreBack();
        session.View().SetStatus(Format("Init list %s: %zu entries from %s%s", name_.c_str(), command.list.GetCount(),
                                        from.c_str(), changed ? "" : " (unchanged)"));
        return kExitOk;
    }

    int Export(CCliSession& session)
    {
        const bool toStdout = file_ == "-";
        struct stat st {};
        if (!toStdout && ::stat(file_.c_str(), &st) == 0
            && session.Box().Show("File already exists!   Do you want replace it?", "Confirmed", EMsgIcon::Question,
                                  EMsgButtons::YesNo)
                   != EMsgResult::Yes)
            return kExitFailed;
        const CInitListCommand command(session.Doc(), list_);
        const CCodeList& list = command.list;
        const std::string text = command.Export();
        std::string error;
        CSafeFileWriter writer;
        bool written;
        if (toStdout) {
            std::fflush(stdout);
            writer.BeginStream(STDOUT_FILENO, "standard output");
            written = writer.Append(text.data(), text.size(), error) && writer.Commit(error);
        } else {
            written = writer.Write(file_, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, error);
        }
        if (!written) {
            session.Box().Show(Format("File %s could not be written !\n%s", file_.c_str(), error.c_str()), "File-Error",
                               EMsgIcon::Stop, EMsgButtons::Ok);
            return kExitFailed;
        }
        session.View().SetStatus(Format("Init list %s: %zu entries written to %s", name_.c_str(), list.GetCount(),
                                        file_.c_str()));
        return kExitOk;
    }

    CQpgDoc::EInitList list_ = CQpgDoc::MainList;
    std::string name_;
    std::string file_;
    bool export_ = false;
};

} // namespace

std::unique_ptr<CCliStep> CreateInitListStep()
{
    return std::make_unique<CInitListStep>();
}
