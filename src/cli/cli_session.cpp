#include "cli/cli_session.h"

#include "cli/cli_flash_plan.h"

#include "cli/cli_interrupt.h"
#include "cli/cli_step.h"
#include "common/cleanup_signals.h"
#include "commands/load_command.h"
#include "common/text_format.h"
#include "files/program_file_readers.h"
#include "catalogue/flash_catalogue.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CCliSession::CCliSession(CCliMessageBox::EAnswer answer, const CSettings& settings)
    : settings_(settings), box_(answer), probe_(settings_), doc_(std::make_unique<CQpgDoc>(false))
{
    box_.FollowStatus(&view_.RecentStatus());
    // The project's autoload is a load of this run.
    doc_->autoloadHandler = [this](CQpgDoc& doc, COperationView& view, CMessageBox& box) {
        CLoadCommand command(doc);
        // Nobody is asked whether a text file is binary data.
        command.model.textRule = CLoadModel::ETextRule::Refuse;
        const int result = command.Load(view, box);
        command.StoreBack();
        if (result == kLoadOk || result == kLoadOutside)
            for (const CMemoryRange& span : command.model.Report().spans)
                RecordWritten(span);
        return result;
    };
}

bool CCliSession::SpoolStandardInput(std::string& path)
{
    return runDir_.SpoolStandardInput(path);
}

void CCliSession::RemoveSpool()
{
    runDir_.RemoveSpool();
}

void CCliSession::RecordWritten(const CMemoryRange& range)
{
    if (range.GetSize() > 0)
        written_.push_back(range);
}

bool CCliSession::WroteInto(const CMemoryRange& range) const
{
    const uint64_t lo = range.GetStart();
    const uint64_t hi = lo + range.GetSize();
    for (const CMemoryRange& w : written_) {
        if (uint64_t{w.GetStart()} < hi && uint64_t{w.GetStart()} + w.GetSize() > lo)
            return true;
    }
    return false;
}

std::vector<CMemoryRange> CCliSession::AlignedInside(const std::vector<CMemoryRange>& ranges) const
{
    // The clamped width: a bus width code outside 0..2 is refused by the
    // operation itself, and must not shift here.
    const uint64_t unit = imageOnly_ ? 1 : uint64_t{doc_->BusWidthBytes()};
    const uint64_t physicalStart = doc_->physicalRange.GetStart();
    const uint64_t physicalEnd = physicalStart + doc_->physicalRange.GetSize(); // exclusive
    std::vector<std::pair<uint64_t, uint64_t>> spans;
    for (const CMemoryRange& r : ranges) {
        uint64_t lo = r.GetStart();
        uint64_t hi = lo + r.GetSize();
        lo = std::max(lo - lo % unit, physicalStart);
        hi = std::min((hi + unit - 1) / unit * unit, physicalEnd);
        if (lo < hi)
            spans.emplace_back(lo, hi);
    }
    std::sort(spans.begin(), spans.end());
    std::vector<CMemoryRange> merged;
    uint64_t lo = 0;
    uint64_t hi = 0;
    for (size_t i = 0; i <= spans.size(); ++i) {
        if (i < spans.size() && i > 0 && spans[i].first <= hi) {
            hi = std::max(hi, spans[i].second);
            continue;
        }
        if (i > 0)
            merged.emplace_back(static_cast<uint32_t>(lo), static_cast<uint32_t>(hi - lo), 1);
        if (i < spans.size()) {
            lo = spans[i].first;
            hi = spans[i].second;
        }
    }
    return merged;
}

CCliSession::~CCliSession()
{
    doc_.reset(); // closes the image's backing file; the run directory goes after it
}

bool CCliSession::OpenImage()
{
    std::string parent = settings_.Get(ESetting::ImageDirectory);
    if (parent.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        parent = tmp && *tmp ? tmp : "/tmp";
    }
    std::string error;
    // A signal before the image's file has lost its name would leave the
    // directory and the file behind: it waits until then.
    const CCleanupSignalsHeld held;
    if (!runDir_.Create(parent, error)) {
        std::fprintf(stderr, "Fatal Error: %s\n", error.c_str());
        return false;
    }
    if (doc_->image.Open(doc_->physicalRange.GetStart(), runDir_.Path()) != 0) {
        std::fprintf(stderr, "Fatal Error: cannot create the memory image in %s\n", runDir_.Path().c_str());
        return false;
    }
    // The run keeps the file open; without its name nothing of it can stay
    // behind, however the run ends.
    doc_->image.UnlinkBackingFile();
    return true;
}

bool CCliSession::OpenProject(const std::string& path)
{
    projectPath_ = path;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
        doc_->NewDocument();
        doc_->SetPathName(path);
        view_.SetStatus(Format("New project %s", path.c_str()));
        return true;
    }
    if (!doc_->Open(path, view_, box_))
        return false;
    view_.SetStatus(Format("Opened project %s", path.c_str()));
    switch (doc_->AutoloadResult()) {
    case -1:
    case kLoadOk:
        return true;
    case kLoadOutside:
        outsideSeen = true; // a warning, as for the load step
        return true;
    default:
        return false; // the Load report was shown; nothing runs on a half-loaded image
    }
}

void CCliSession::UseImageOnly(const CMemoryRange& physical)
{
    imageOnly_ = true;
    doc_->physicalRange = physical;
    doc_->image.SetBase(physical.GetStart());
}

bool CCliSession::Allows(CQpgDoc::ECommand command, const char* step)
{
    if (imageOnly_ || doc_->IsCommandEnabled(command))
        return true;
    if (doc_->memoryType == CFlashCatalogue::kNoDeviceName)
        std::fprintf(stderr,
                     "tarvel-cli: %s: no flash device is selected (memory type \"NONE\"); run setup --device NAME "
                     "first, or give --physical R to work on the image alone\n",
                     step);
    else
        std::fprintf(stderr, "tarvel-cli: %s: not possible for the device \"%s\"\n", step,
                     doc_->memoryType.c_str());
    return false;
}

void CCliSession::BeginReport()
{
    report_ = SCliStepReport{};
    view_.ForgetStatus();
    box_.Forget();
}

void CCliSession::NoteResult(const SOperationResult& result, const std::vector<CMemoryRange>& spans,
                             const std::vector<SFlashSector>& planned)
{
    // An operation that never reached its transfer (the connect or a list
    // failed) has no result of its own; the box says why.
    if (result.kind != EOperationKind::Other) {
        report_.results.push_back(result);
        std::vector<SFlashSector> erased;
        if (result.kind == EOperationKind::Erase && !result.erasedPasses.empty()) {
            const std::vector<SFlashSector> all = FlashSectors(CliFlashArray(*this));
            for (const auto& [bank, sector] : result.erasedPasses)
                for (const SFlashSector& s : all)
                    if (static_cast<int>(s.bank) == bank && (sector < 0 || static_cast<int>(s.sector) == sector))
                        erased.push_back(s);
        } else if (result.kind == EOperationKind::Erase && result.Ok()) {
            erased = planned;
        }
        report_.erasedSectors.push_back(std::move(erased));
    }
    for (const CMemoryRange& r : spans)
        if (std::find(report_.spans.begin(), report_.spans.end(), r) == report_.spans.end())
            report_.spans.push_back(r);
}

SCliStepReport CCliSession::TakeReport(int exitCode)
{
    SCliStepReport report = std::move(report_);
    report_ = SCliStepReport{};
    report.exitCode = exitCode;
    const std::string& error = box_.FirstError();
    // The newest status line before the box that names what failed: not one
    // that only said what was under way ("Erasing ...", "Process aborted...",
    // "Connecting to QDX ... (channel)").
    std::string reason;
    for (const std::string& status : box_.StatusAtFirstError()) {
        std::string line = status.substr(0, status.find('\n'));
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        const bool underWay = (line.size() >= 3 && line.compare(line.size() - 3, 3, "...") == 0) ||
                              line.rfind("Connecting to", 0) == 0;
        if (!underWay && !line.empty() && line != error)
            reason = line;
    }
    if (exitCode != kExitOk && !error.empty())
        report.message = reason.empty() ? error : error + " " + reason;
    else
        report.message = view_.LastStatus();
    if (exitCode != kExitOk && report.message.empty())
        report.message = "the step failed (its message is in the log)";
    return report;
}
