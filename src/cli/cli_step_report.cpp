#include "cli/cli_step_report.h"

#include "cli/cli_step.h"

#include <nlohmann/json.hpp>

namespace {

const char* KindName(EOperationKind kind)
{
    switch (kind) {
    case EOperationKind::Erase:
        return "erase";
    case EOperationKind::Program:
        return "program";
    case EOperationKind::Verify:
        return "verify";
    case EOperationKind::Dump:
        return "dump";
    default:
        return "other";
    }
}

nlohmann::json DiagnosisJson(const SVerifyDiagnosis& d)
{
    nlohmann::json differences = nlohmann::json::array();
    for (const SByteDifference& x : d.first)
        differences.push_back(
            {{"address", x.address}, {"image_byte", x.imageByte}, {"target_byte", x.targetByte}});
    nlohmann::json sectors = nlohmann::json::array();
    for (const SFlashSector& s : d.sectors)
        sectors.push_back({{"bank", s.bank}, {"sector", s.sector}, {"start", s.start}, {"size", s.size}});
    return {{"read_from", d.from},
            {"bytes_read", d.bytesRead},
            {"complete", d.Complete()},
            {"differing_bytes", d.differingBytes},
            {"first_differences", differences},
            {"bits_read_0_image_1", d.bitsReadZero},
            {"bits_read_1_image_0", d.bitsReadOne},
            {"sectors", sectors}};
}

} // namespace

const char* SCliStepReport::Status() const
{
    if (exitCode == kExitOk)
        return "passed";
    return exitCode == kExitInterrupted ? "stopped" : "failed";
}

uint64_t SCliStepReport::Bytes() const
{
    uint64_t bytes = 0;
    for (const CMemoryRange& r : spans)
        bytes += r.GetSize();
    return bytes;
}

double SCliStepReport::Rate() const
{
    uint64_t bytes = 0, ms = 0;
    for (const SOperationResult& r : results)
        if (r.Ok() && r.kind != EOperationKind::Erase) {
            bytes += r.bytes;
            ms += r.elapsedMs;
        }
    return ms > 0 ? static_cast<double>(bytes) * 1000.0 / static_cast<double>(ms) : 0.0;
}

const SOperationResult* SCliStepReport::Failure() const
{
    for (const SOperationResult& r : results)
        if (!r.Ok())
            return &r;
    return nullptr;
}

nlohmann::json SCliStepReport::ToJson() const
{
    nlohmann::json range = nlohmann::json::array();
    for (const CMemoryRange& r : spans)
        range.push_back({{"start", r.GetStart()}, {"end", r.GetEnd()}, {"size", r.GetSize()}});
    nlohmann::json j = {{"type", "step"},
                        {"step", step},
                        {"index", index},
                        {"probe", probe.empty() ? nlohmann::json(nullptr) : nlohmann::json(probe)},
                        {"status", Status()},
                        {"exit_code", exitCode},
                        {"message", message},
                        {"range", range},
                        {"bytes", Bytes()},
                        {"seconds", seconds},
                        {"rate", Rate()}};
    nlohmann::json operations = nlohmann::json::array();
    for (const SOperationResult& r : results) {
        nlohmann::json o = {{"operation", KindName(r.kind)},
                            {"passed", r.Ok()},
                            {"bytes", r.bytes},
                            {"seconds", static_cast<double>(r.elapsedMs) / 1000.0}};
        operations.push_back(o);
    }
    j["operations"] = operations;
    if (const SOperationResult* f = Failure()) {
        if (f->status == EOperationStatus::CompareFailed || f->status == EOperationStatus::ProgramFailed ||
            f->status == EOperationStatus::ImageWriteFailed || f->status == EOperationStatus::Cancelled)
            j["failing_address"] = f->address;
        if (f->status == EOperationStatus::CompareFailed) {
            j["image_byte"] = f->imageByte;
            j["target_byte"] = f->targetByte;
        }
        if (f->diagnosis)
            j["verify"] = DiagnosisJson(*f->diagnosis);
    }
    return j;
}
