#pragma once

#include <memory>
#include <string>

class CCliArgs;
class CCliSession;

// Exit codes of tarvel-cli.
enum : int {
    kExitOk = 0,
    kExitFailed = 1,  // a step failed; its message was printed
    kExitUsage = 2,   // the command line is wrong; nothing was run
    kExitOutside = 3, // everything ran, but a load put bytes outside the memory range
    kExitInterrupted = 130, // Ctrl-C stopped the run in order (128 + the signal: 143 SIGTERM, 129 SIGHUP)
};

// What a step may need to know about the whole run before anything runs.
struct SCliRun {
    bool project = false;   // --project FILE was given
    bool imageOnly = false; // --physical R: the image alone, no project
};

// Where a step runs when several probes are given: once in the run (the
// image steps), on every probe at the same time (the target steps), or only
// with a single probe (it reads a target into the image, or maintains one probe).
enum class ECliStepPlace { Image, Target, OneProbe };

// One step of a run. Parse takes the step's arguments (after its name) up to
// the next step; Check refuses a step that does not fit the run's options;
// Run does the work on the session and answers an exit code.
class CCliStep {
public:
    virtual ~CCliStep() = default;
    virtual bool Parse(CCliArgs& args, std::string& error) = 0;
    virtual bool Check(const SCliRun&, std::string&) const { return true; }
    virtual int Run(CCliSession& session) = 0;
    virtual ECliStepPlace Place() const { return ECliStepPlace::Image; }
    // A step of place OneProbe: the words that make it so, for the refusal
    // with several probes ("flash --keep-unwritten"); empty: the step's name.
    virtual std::string OneProbeWhy() const { return {}; }
    // The step writes a file's bytes to standard output ("-"): not with
    // --json -, whose records go there.
    virtual bool WritesStandardOutput() const { return false; }
    // A target step's part that works on the image alone (a flash step's
    // load): run once before Run, which then runs on each probe. Run calls
    // it itself when it has not run.
    virtual int Prepare(CCliSession&) { return kExitOk; }
    // True for a step whose operation asks for a stop request between its
    // parts (the target and probe steps): Ctrl-C then lets it end in order.
    // Any other step (load, store, fill, checksum) ends at once on Ctrl-C.
    virtual bool StopsInOrder() const { return true; }
};

// The steps by name: a new step is one class and one row in the table.
struct SCliStepInfo {
    const char* name;
    const char* usage;
    std::unique_ptr<CCliStep> (*create)();
};

const SCliStepInfo* FindCliStep(const std::string& name);
const SCliStepInfo* CliSteps(size_t& count);

std::unique_ptr<CCliStep> CreateLoadStep();
std::unique_ptr<CCliStep> CreateStoreStep();
std::unique_ptr<CCliStep> CreateFillStep();
std::unique_ptr<CCliStep> CreateChecksumStep();
std::unique_ptr<CCliStep> CreateSetupStep();
std::unique_ptr<CCliStep> CreateInitListStep();
std::unique_ptr<CCliStep> CreateShowStep();
std::unique_ptr<CCliStep> CreateSaveStep();
std::unique_ptr<CCliStep> CreateDevicesStep();
std::unique_ptr<CCliStep> CreateCommStep();
std::unique_ptr<CCliStep> CreateProgramStep();
std::unique_ptr<CCliStep> CreateVerifyStep();
std::unique_ptr<CCliStep> CreateDumpStep();
std::unique_ptr<CCliStep> CreateEraseStep();
std::unique_ptr<CCliStep> CreateProbeInfoStep();
std::unique_ptr<CCliStep> CreateProbeUpdateStep();
std::unique_ptr<CCliStep> CreateProbeNetSetupStep();
std::unique_ptr<CCliStep> CreateFlashStep();
std::unique_ptr<CCliStep> CreateReportStep();
std::unique_ptr<CCliStep> CreateIdentifyStep();
