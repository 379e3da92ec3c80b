#include "cli/cli_gang_runner.h"

#include "cli/cli_interrupt.h"
#include "cli/cli_json_writer.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "common/clock.h"
#include "common/text_format.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

const char* SignalName(int signal)
{
    return signal == SIGTERM ? "SIGTERM" : signal == SIGHUP ? "SIGHUP" : "Ctrl-C";
}

double SecondsSince(uint64_t startMicros)
{
    return static_cast<double>(CSystemClock::Instance().NowMicros() - startMicros) / 1e6;
}

// In a probe's process: every SIGINT, SIGTERM or SIGHUP (from the terminal,
// or passed on by the parent) is the one stop request, so the probe's
// operation ends in order and its link is closed; the memory image belongs
// to the parent, so no signal here removes it.
extern "C" void LaneSignal(int signal)
{
    CliInterruptRequest(signal);
}

void WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

} // namespace

// One probe of a gang: its name, its process while a step runs, and what
// its steps reported.
struct CCliGangRunner::SLane {
    std::string name;
    bool inRun = true; // every step so far passed
    pid_t pid = -1;
    int fds[3] = {-1, -1, -1}; // the child's stdout, stderr and report
    std::string pending[3];
    int exitCode = 0;
    std::vector<nlohmann::json> records;
};

CCliGangRunner::CCliGangRunner(CCliSession& session, std::vector<std::string> probes, CCliJsonWriter* json,
                               FILE* human)
    : session_(session), probes_(std::move(probes)), json_(json), human_(human)
{
}

CCliGangRunner::~CCliGangRunner() = default;

void CCliGangRunner::Record(const nlohmann::json& record)
{
    records_.push_back(record);
    if (json_)
        json_->Write(record);
}

SCliStepReport CCliGangRunner::RunHere(const SStep& step, int index, const std::string& probe)
{
    const uint64_t start = CSystemClock::Instance().NowMicros();
    session_.BeginReport();
    // A step that stops in order takes the first signal as a stop request;
    // so does every step of a run whose --json must end with its summary.
    CliInterruptArm(step.step->StopsInOrder() || json_ != nullptr);
    const int code = step.step->Run(session_);
    SCliStepReport report = session_.TakeReport(code);
    report.step = step.name;
    report.index = index;
    report.probe = probe;
    report.seconds = SecondsSince(start);
    return report;
}

int CCliGangRunner::Run(const std::vector<SStep>& steps)
{
    const uint64_t start = CSystemClock::Instance().NowMicros();
    std::vector<SLane> lanes;
    for (const std::string& p : probes_) {
        lanes.emplace_back();
        lanes.back().name = p;
    }
    const std::string single =
        probes_.empty() ? session_.Probe().ChannelText(session_.Doc().ChannelText()) : probes_.front();

    int exitCode = kExitOk;
    int index = 0;
    for (const SStep& step : steps) {
        ++index;
        const bool onProbes = step.step->Place() == ECliStepPlace::Target;
        if (!Gang() || !onProbes) {
            const SCliStepReport report = RunHere(step, index, onProbes ? single : std::string());
            Record(report.ToJson());
            if (!lanes.empty() && onProbes)
                lanes.front().records.push_back(records_.back());
            if (report.exitCode != kExitOk) {
                exitCode = report.exitCode;
                if (!lanes.empty() && onProbes)
                    lanes.front().inRun = false;
                break;
            }
            // A stop request the step finished anyway (it came after the
            // operation's last check) still ends the run before the next step.
            if (CliInterruptRequested()) {
                std::fprintf(stderr, "tarvel-cli: stopped by %s; the steps after this one did not run\n",
                             SignalName(CliInterruptSignal()));
                exitCode = CliStopExitCode();
                break;
            }
            continue;
        }
        // The image part of a target step (a flash step's load) runs once.
        CliInterruptArm(true);
        session_.BeginReport();
        if (const int prepared = step.step->Prepare(session_); prepared != kExitOk) {
            SCliStepReport report = session_.TakeReport(prepared);
            report.step = step.name;
            report.index = index;
            Record(report.ToJson());
            exitCode = prepared;
            break;
        }
        if (CliInterruptRequested()) {
            // Stopped during the load: no probe starts the step.
            exitCode = CliStopExitCode();
            break;
        }
        const int code = RunOnLanes(step, index, lanes);
        if (CliIsStopExit(code) || CliInterruptRequested()) {
            exitCode = CliInterruptRequested() ? CliStopExitCode() : code;
            break;
        }
        if (code != kExitOk)
            exitCode = code;
        if (std::none_of(lanes.begin(), lanes.end(), [](const SLane& l) { return l.inRun; }))
            break;
    }
    steps_ = steps;
    lanes_ = std::move(lanes);
    startMicros_ = start;
    return exitCode;
}

int CCliGangRunner::Finish(int exitCode)
{
    if (Gang())
        PrintTable(steps_, lanes_);
    Record(Summary(exitCode, lanes_, SecondsSince(startMicros_)));
    // A result the machine reading --json never got is a failure.
    if (exitCode == kExitOk && json_ && json_->Failed())
        return kExitFailed;
    return exitCode;
}

int CCliGangRunner::RunOnLanes(const SStep& step, int index, std::vector<SLane>& lanes)
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::vector<SLane *> running;
    for (SLane& lane : lanes) {
        if (!lane.inRun)
            continue;
        int pipes[3][2] = {{-1, -1}, {-1, -1}, {-1, -1}};
        bool piped = true;
        for (auto& p : pipes)
            piped = piped && ::pipe2(p, O_CLOEXEC) == 0;
        if (!piped)
            for (auto& p : pipes)
                for (int& fd : p)
                    if (fd >= 0)
                        ::close(std::exchange(fd, -1));
        const pid_t pid = piped ? ::fork() : -1;
        if (pid == 0) {
            ::dup2(pipes[0][1], STDOUT_FILENO);
            ::dup2(pipes[1][1], STDERR_FILENO);
            std::setvbuf(stdout, nullptr, _IOLBF, 0);
            struct sigaction action {};
            action.sa_handler = LaneSignal;
            sigemptyset(&action.sa_mask);
            for (int s : {SIGINT, SIGTERM, SIGHUP})
                sigaction(s, &action, nullptr);
            std::string error;
            SCliStepReport report;
            if (session_.Probe().UseProbe(lane.name, error)) {
                session_.View().SetTerminal(false); // log lines: a bar cannot share a line with other probes
                report = RunHere(step, index, lane.name);
            } else {
                std::fprintf(stderr, "tarvel-cli: %s\n", error.c_str());
                report.step = step.name;
                report.index = index;
                report.probe = lane.name;
                report.exitCode = kExitFailed;
                report.message = error;
            }
            session_.Probe().Library().LinkClose();
            std::fflush(stdout);
            std::fflush(stderr);
            WriteAll(pipes[2][1],
                     report.ToJson().dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
            ::_exit(report.exitCode); // the parent owns the memory image: no destructor runs here
        }
        for (int k = 0; k < 3; ++k) {
            if (pipes[k][1] >= 0)
                ::close(pipes[k][1]);
            lane.fds[k] = pipes[k][0];
            lane.pending[k].clear();
        }
        lane.pid = pid;
        if (pid < 0) {
            for (int& fd : lane.fds)
                if (fd >= 0)
                    ::close(std::exchange(fd, -1));
            SCliStepReport report;
            report.step = step.name;
            report.index = index;
            report.probe = lane.name;
            report.exitCode = kExitFailed;
            report.message = Format("cannot start the run on this probe: %s", std::strerror(errno));
            lane.inRun = false;
            lane.records.push_back(report.ToJson());
            Record(lane.records.back());
            continue;
        }
        running.push_back(&lane);
    }

    // The parent passes on a stop request (Ctrl-C, SIGTERM, SIGHUP) to every
    // probe's process once; each ends its operation in order and closes its link.
    CliInterruptArm(true);
    bool passedOn = false;
    int result = kExitOk;
    size_t left = running.size();
    while (left > 0) {
        std::vector<pollfd> polls;
        std::vector<std::pair<SLane *, int>> owners;
        for (SLane* lane : running)
            for (int k = 0; k < 3; ++k)
                if (lane->fds[k] >= 0) {
                    polls.push_back({lane->fds[k], POLLIN, 0});
                    owners.emplace_back(lane, k);
                }
        if (CliInterruptRequested() && !passedOn) {
            passedOn = true;
            for (SLane* lane : running)
                if (lane->pid > 0)
                    ::kill(lane->pid, CliInterruptSignal() != 0 ? CliInterruptSignal() : SIGINT);
        }
        if (::poll(polls.data(), polls.size(), 100) < 0 && errno != EINTR)
            break;
        for (size_t i = 0; i < polls.size(); ++i) {
            if (polls[i].revents == 0)
                continue;
            auto [lane, k] = owners[i];
            char buffer[4096];
            const ssize_t n = ::read(lane->fds[k], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n > 0) {
                lane->pending[k].append(buffer, static_cast<size_t>(n));
            } else {
                ::close(std::exchange(lane->fds[k], -1));
                if (k < 2 && !lane->pending[k].empty() && lane->pending[k].back() != '\n')
                    lane->pending[k] += '\n';
            }
            // Whole lines of the probe's output, with its name in front.
            if (k < 2) {
                FILE* out = k == 0 ? stdout : stderr;
                size_t end;
                while ((end = lane->pending[k].find('\n')) != std::string::npos) {
                    std::fprintf(out, "[%s] %s\n", lane->name.c_str(),
                                 lane->pending[k].substr(0, end).c_str());
                    lane->pending[k].erase(0, end + 1);
                }
            }
            if (std::all_of(std::begin(lane->fds), std::end(lane->fds), [](int fd) { return fd < 0; })) {
                int status = 0;
                while (::waitpid(lane->pid, &status, 0) < 0 && errno == EINTR) {
                }
                lane->pid = -1;
                --left;
                nlohmann::json record = nlohmann::json::parse(lane->pending[2], nullptr, false);
                const int code = WIFEXITED(status) ? WEXITSTATUS(status) : kExitFailed;
                if (record.is_discarded() || !record.is_object()) {
                    SCliStepReport report;
                    report.step = step.name;
                    report.index = index;
                    report.probe = lane->name;
                    report.exitCode = code == kExitOk ? kExitFailed : code;
                    report.message =
                        WIFSIGNALED(status)
                            ? Format("the run on this probe ended by signal %d", WTERMSIG(status))
                            : std::string("the run on this probe ended without a report");
                    record = report.ToJson();
                }
                const int recorded = record.value("exit_code", kExitFailed);
                lane->exitCode = recorded;
                lane->inRun = recorded == kExitOk;
                if (recorded != kExitOk && !CliIsStopExit(result))
                    result = CliIsStopExit(recorded) ? recorded : kExitFailed;
                lane->records.push_back(record);
                Record(record);
            }
        }
    }
    return result;
}

namespace {

// A probe's time and link rate over its target steps: the wall time of the
// steps, and the bytes its transfers moved over their own time.
struct STotals {
    double seconds = 0;
    double transferBytes = 0;
    double transferSeconds = 0;
};

STotals Totals(const std::vector<nlohmann::json>& records)
{
    STotals t;
    for (const nlohmann::json& r : records) {
        t.seconds += r.value("seconds", 0.0);
        if (!r.contains("operations"))
            continue;
        for (const nlohmann::json& o : r["operations"]) {
            if (o.value("operation", "") == "erase" || !o.value("passed", false))
                continue;
            t.transferBytes += o.value("bytes", 0.0);
            t.transferSeconds += o.value("seconds", 0.0);
        }
    }
    return t;
}

const nlohmann::json* FirstFailure(const std::vector<nlohmann::json>& records)
{
    for (const nlohmann::json& r : records)
        if (r.value("exit_code", 0) != 0)
            return &r;
    return nullptr;
}

} // namespace

void CCliGangRunner::PrintTable(const std::vector<SStep>& steps, const std::vector<SLane>& lanes) const
{
    std::vector<int> columns; // indexes of the target steps
    for (size_t i = 0; i < steps.size(); ++i)
        if (steps[i].step->Place() == ECliStepPlace::Target)
            columns.push_back(static_cast<int>(i) + 1);
    size_t nameWidth = 5;
    for (const SLane& lane : lanes)
        nameWidth = std::max(nameWidth, lane.name.size());
    std::string header = Format("%-*s", static_cast<int>(nameWidth), "Probe");
    for (int c : columns)
        header += Format("  %-8s", steps[static_cast<size_t>(c) - 1].name.c_str());
    header += Format("  %9s  %12s  %s", "Time", "Rate", "First failure");
    std::fprintf(human_, "\n%s\n", header.c_str());
    for (const SLane& lane : lanes) {
        std::string line = Format("%-*s", static_cast<int>(nameWidth), lane.name.c_str());
        for (int c : columns) {
            const char* cell = "-"; // not run: an earlier step failed
            for (const nlohmann::json& r : lane.records)
                if (r.value("index", 0) == c) {
                    const std::string status = r.value("status", "");
                    cell = status == "passed" ? "passed" : status == "stopped" ? "stopped" : "FAILED";
                }
            line += Format("  %-8s", cell);
        }
        const STotals t = Totals(lane.records);
        const std::string rate =
            t.transferSeconds >= 0.1 ? Format("%.1f kB/s", t.transferBytes / 1000.0 / t.transferSeconds) : "-";
        const nlohmann::json* failure = FirstFailure(lane.records);
        const std::string why =
            failure ? (*failure).value("step", "") + ": " + (*failure).value("message", "") : std::string();
        line += Format("  %7.2f s  %12s  %s", t.seconds, rate.c_str(), why.c_str());
        std::fprintf(human_, "%s\n", line.c_str());
    }
    std::fflush(human_);
}

nlohmann::json CCliGangRunner::Summary(int exitCode, const std::vector<SLane>& lanes, double seconds) const
{
    nlohmann::json probes = nlohmann::json::array();
    for (const SLane& lane : lanes) {
        const STotals t = Totals(lane.records);
        const nlohmann::json* failure = FirstFailure(lane.records);
        nlohmann::json p = {{"probe", lane.name},
                            {"status", failure ? (*failure).value("status", "failed") : "passed"},
                            {"steps_run", lane.records.size()},
                            {"seconds", t.seconds},
                            {"rate", t.transferSeconds >= 0.1 ? nlohmann::json(t.transferBytes / t.transferSeconds)
                                                              : nlohmann::json(nullptr)}};
        if (failure) {
            p["failed_step"] = (*failure).value("step", "");
            p["message"] = (*failure).value("message", "");
        }
        probes.push_back(p);
    }
    const char* status = exitCode == kExitOk ? "passed" : CliIsStopExit(exitCode) ? "stopped" : "failed";
    return {{"type", "summary"},  {"status", status},           {"exit_code", exitCode},
            {"seconds", seconds}, {"records", records_.size()}, {"probes", probes}};
}
