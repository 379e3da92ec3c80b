// devices [TEXT] [--sectors]: the catalogue rows whose name contains TEXT
// (letter case and runs of spaces ignored), one row a line with the exact
// name to give to setup --device; with --sectors each row's sector starts.
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "common/text_format.h"
#include "catalogue/flash_catalogue.h"

#include <cstdio>

namespace {

class CDevicesStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("devices", {}, 1, a, error, {"--sectors"}, 0))
            return false;
        if (!a.positionals.empty())
            text_ = a.positionals[0];
        sectors_ = a.Has("--sectors");
        return true;
    }

    int Run(CCliSession&) override
    {
        const auto rows = CFlashCatalogue::FindFlashDevicesLoose(text_);
        if (rows.empty()) {
            std::fprintf(stderr, "tarvel-cli: devices: no device name contains \"%s\"\n", text_.c_str());
            return kExitFailed;
        }
        std::string out = Format("%4s  %-44s %5s %10s %5s %5s %5s %7s\n", "row", "name", "width", "bytes", "page",
                                 "prog", "erase", "sectors");
        for (const SFlashDevice* d : rows) {
            const std::string name = Format("\"%s\"", d->name);
            out += Format("%4d  %-44s   x%-2lu %10lu %5lu %5lu %5lu %7lu\n", CFlashCatalogue::FlashDeviceIndex(d),
                          name.c_str(), static_cast<unsigned long>(d->deviceWidth * 8),
                          static_cast<unsigned long>(d->DeviceSizeBytes()), static_cast<unsigned long>(d->pageSize),
                          static_cast<unsigned long>(d->programAlgorithm),
                          static_cast<unsigned long>(d->eraseAlgorithm), static_cast<unsigned long>(d->sectorCount));
            if (sectors_) {
                out += "      sectors:";
                for (uint32_t k = 0; k < d->sectorCount; ++k)
                    out += Format("%s%08lX", k % 8 == 0 && k ? "\n              " : " ",
                                  static_cast<unsigned long>(d->SectorStart(k)));
                out += "\n";
            }
        }
        std::fputs(out.c_str(), stdout);
        std::fflush(stdout);
        return kExitOk;
    }

private:
    std::string text_;
    bool sectors_ = false;
};

} // namespace

std::unique_ptr<CCliStep> CreateDevicesStep()
{
    return std::make_unique<CDevicesStep>();
}
