#pragma once

#include "cli/cli_step_report.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class CCliJsonWriter;
class CCliSession;
class CCliStep;

// Runs the steps of a run in order and reports each as it ends (--json).
//
// With one probe (or none) every step runs in this process. With several
// (--probe given more than once) the image steps still run once here, and
// each target step runs on every probe still in the run at the same time:
// one child process per probe, each with its own link and its own copy of
// the project, its lines passed on with the probe's name in front. A probe
// whose step fails leaves the run; the others go on. The run ends with a
// table of each probe's result per step.
class CCliGangRunner {
  public:
    struct SStep {
        CCliStep* step = nullptr;
        std::string name;
    };

    // `probes`: the --probe values (none: the session's own channel or --sim).
    // `json`: nullptr without --json. `human`: where the table goes.
    CCliGangRunner(CCliSession& session, std::vector<std::string> probes, CCliJsonWriter* json, FILE* human);
    ~CCliGangRunner();
    CCliGangRunner(const CCliGangRunner &) = delete;
    CCliGangRunner& operator=(const CCliGangRunner &) = delete;

    // The exit code of the steps: 0 when every step passed on every probe,
    // 130 when Ctrl-C stopped it, else the first failing step's code.
    int Run(const std::vector<SStep>& steps);
    // The end of the run with its exit code: the gang's table and the
    // summary record. Answers the exit code, 1 instead of 0 when a --json
    // record could not be written.
    int Finish(int exitCode);

    // The records written so far (each also went to --json).
    const std::vector<nlohmann::json>& Records() const { return records_; }

  private:
    struct SLane;

    bool Gang() const { return probes_.size() > 1; }
    // Runs `step` here and reports it.
    SCliStepReport RunHere(const SStep& step, int index, const std::string& probe);
    // Runs `step` on every lane that is still in the run.
    int RunOnLanes(const SStep& step, int index, std::vector<SLane>& lanes);
    void Record(const nlohmann::json& record);
    void PrintTable(const std::vector<SStep>& steps, const std::vector<SLane>& lanes) const;
    nlohmann::json Summary(int exitCode, const std::vector<SLane>& lanes, double seconds) const;

    CCliSession& session_;
    std::vector<std::string> probes_;
    CCliJsonWriter* json_;
    FILE* human_;
    std::vector<nlohmann::json> records_;
    std::vector<SStep> steps_;
    std::vector<SLane> lanes_;
    uint64_t startMicros_ = 0;
};
