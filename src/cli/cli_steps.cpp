#include "cli/cli_step.h"

namespace {

const SCliStepInfo kSteps[] = {
    {"load", "load FILE [--offset HEX]", CreateLoadStep},
    {"store", "store FILE --range R", CreateStoreStep},
    {"fill", "fill --range R --pattern HEX --unit byte|word|long", CreateFillStep},
    {"checksum", "checksum --range R --unit byte|word|long [--store HEX --dest-unit byte|word|long]",
     CreateChecksumStep},
};

} // namespace

const SCliStepInfo* FindCliStep(const std::string& name)
{
    for (const auto& s : kSteps) {
        if (name == s.name)
            return &s;
    }
    return nullptr;
}

const SCliStepInfo* CliSteps(size_t& count)
{
    count = sizeof kSteps / sizeof kSteps[0];
    return kSteps;
}
