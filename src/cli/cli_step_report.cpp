#include "cli/cli_step_report.h"

#include "cli/cli_interrupt.h"
#include "cli/cli_step.h"
#include "flash/operation_texts.h"

#include <algorithm>

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

nlohmann::json SectorsJson(const std::vector<SFlashSector>& list)
{
    nlohmann::json sectors = nlohmann::json::array();
    for (const SFlashSector& s : list)
        sectors.push_back({{"bank", s.bank}, {"sector", s.sector}, {"start", s.start}, {"size", s.size}});
    return sectors;
}

} // namespace

uint64_t SCliStepReport::DoneBytes(const SOperationResult& r)
{
    return r.Ok() ? r.bytes : std::min(r.doneBytes, r.bytes);
}

const char* SCliStepReport::Status() const
{
    if (exitCode == kExitOk)
        return "passed";
    return CliIsStopExit(exitCode) ? "stopped" : "failed";
}

uint64_t SCliStepReport::Bytes() const
{
    // The kinds in the order that decides which one the step's bytes are.
    for (const EOperationKind kind : {EOperationKind::Program, EOperationKind::Verify, EOperationKind::Dump}) {
        bool seen = false;
        uint64_t bytes = 0;
        for (const SOperationResult& r : results)
            if (r.kind == kind) {
                seen = true;
                bytes += DoneBytes(r);
            }
        if (seen)
            return bytes;
    }
    uint64_t erased = 0;
    for (const auto& sectors : erasedSectors)
        for (const SFlashSector& s : sectors)
            erased += s.size;
    return erased;
}

std::optional<double> SCliStepReport::Rate() const
{
    uint64_t bytes = 0, ms = 0;
    for (const SOperationResult& r : results)
        if (r.Ok() && r.kind != EOperationKind::Erase) {
            bytes += r.bytes;
            ms += r.elapsedMs;
        }
    if (ms < COperationTexts::kShortestRatedMs)
        return std::nullopt;
    return static_cast<double>(bytes) * 1000.0 / static_cast<double>(ms);
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
                        {"seconds", seconds}};
    const std::optional<double> rate = Rate();
    j["rate"] = rate ? nlohmann::json(*rate) : nlohmann::json(nullptr);
    nlohmann::json operations = nlohmann::json::array();
    for (size_t i = 0; i < results.size(); ++i) {
        const SOperationResult& r = results[i];
        nlohmann::json o = {{"operation", KindName(r.kind)},
                            {"passed", r.Ok()},
                            {"seconds", static_cast<double>(r.elapsedMs) / 1000.0}};
        if (r.kind == EOperationKind::Erase) {
            const std::vector<SFlashSector> none;
            const auto& sectors = i < erasedSectors.size() ? erasedSectors[i] : none;
            uint64_t erased = 0;
            for (const SFlashSector& s : sectors)
                erased += s.size;
            o["bytes"] = erased;
            o["sectors"] = SectorsJson(sectors);
        } else {
            o["bytes"] = DoneBytes(r);
            o["planned_bytes"] = r.bytes;
        }
        operations.push_back(o);
    }
    j["operations"] = operations;
    if (skippedSectors)
        j["skipped_sectors"] = SectorsJson(*skippedSectors);
    if (const SOperationResult* f = Failure()) {
        if (f->status == EOperationStatus::CompareFailed || f->status == EOperationStatus::ProgramFailed ||
            f->status == EOperationStatus::ImageWriteFailed || f->status == EOperationStatus::Cancelled ||
            f->status == EOperationStatus::DeviceFailed || f->status == EOperationStatus::TimedOut)
            j["failing_address"] = f->address;
        if (f->kind == EOperationKind::Erase && f->bank >= 0) {
            j["failing_bank"] = f->bank;
            if (f->sector >= 0)
                j["failing_sector"] = f->sector;
        }
        if (f->lastAcknowledged)
            j["last_acknowledged_address"] = *f->lastAcknowledged;
        if (f->status == EOperationStatus::CompareFailed) {
            j["image_byte"] = f->imageByte;
            j["target_byte"] = f->targetByte;
        }
        if (f->diagnosis)
            j["verify"] = DiagnosisJson(*f->diagnosis);
    }
    return j;
}
