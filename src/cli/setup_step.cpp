// setup [--device NAME] [--bus 8|16|32] [--base HEX] [--banks N] [--cpu ...]
// [--clock ...] [--endian little|big] [--workspace HEX] [--target-algorithm
// on|off]: the target memory setup, run through the same rules as its
// dialog: the values are put into the controls the way a person would enter
// them, and OK decides. What the dialog would not let a person enter (a
// disabled button or field) is refused.
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/cli_step.h"
#include "common/text_format.h"
#include "catalogue/flash_catalogue.h"
#include "commands/target_setup_command.h"

#include <cctype>
#include <cstdio>
#include <optional>

namespace {

// Letters in lower case, every blank dropped: "8 MHz", "8mhz" and "8 mhz" agree.
std::string Fold(const std::string& text)
{
    std::string out;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return out;
}

// A list position by its code (decimal) or its text.
bool ParseListEntry(const std::string& text, const char* const* names, int count, int& index)
{
    uint32_t code = 0;
    if (CCliArgs::ParseDecimal(text, code)) {
        if (code >= static_cast<uint32_t>(count))
            return false;
        index = static_cast<int>(code);
        return true;
    }
    for (int i = 0; i < count; ++i) {
        if (Fold(names[i]) == Fold(text)) {
            index = i;
            return true;
        }
    }
    return false;
}

std::string ListOf(const char* const* names, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += Format("%s%d \"%s\"", i ? ", " : "", i, names[i]);
    return out;
}

// The catalogue row a typed device name means: exact once case and runs of
// spaces are ignored; "NONE" for no device.
bool ResolveDevice(const std::string& name, int& row, std::string& error)
{
    if (CFlashCatalogue::NormaliseName(name) == "none") {
        row = 0;
        return true;
    }
    const auto matches = CFlashCatalogue::FindFlashDevicesNormalised(name);
    if (matches.size() == 1) {
        row = CFlashCatalogue::FlashDeviceIndex(matches[0]);
        return true;
    }
    const auto& candidates = matches.empty() ? CFlashCatalogue::FindFlashDevicesLoose(name) : matches;
    error = matches.empty() ? Format("setup: no device of the catalogue is named \"%s\"", name.c_str())
                            : Format("setup: \"%s\" names more than one device", name.c_str());
    if (candidates.empty()) {
        error += " (tarvel-cli devices TEXT lists the names that contain TEXT)";
        return false;
    }
    error += "; candidates:";
    const size_t shown = candidates.size() < 20 ? candidates.size() : 20;
    for (size_t i = 0; i < shown; ++i)
        error += Format("\n  \"%s\" (row %d)", candidates[i]->name, CFlashCatalogue::FlashDeviceIndex(candidates[i]));
    if (candidates.size() > shown)
        error += Format("\n  ... and %zu more (tarvel-cli devices TEXT)", candidates.size() - shown);
    return false;
}

class CSetupStep final : public CCliStep {
public:
    bool Parse(CCliArgs& args, std::string& error) override
    {
        CCliArgs::SStepArgs a;
        if (!args.TakeStep("setup",
                           {"--device", "--bus", "--base", "--banks", "--cpu", "--clock", "--endian", "--workspace",
                            "--target-algorithm"},
                           0, a, error))
            return false;
        if (a.Has("--device")) {
            int row = 0;
            if (!ResolveDevice(a.options["--device"], row, error))
                return false;
            device_ = row;
        }
        if (a.Has("--bus")) {
            const std::string& v = a.options["--bus"];
            if (v != "8" && v != "16" && v != "32") {
                error = "setup: --bus wants 8, 16 or 32";
                return false;
            }
            bus_ = v == "8" ? 0 : v == "16" ? 1 : 2;
        }
        uint32_t value = 0;
        if (a.Has("--base")) {
            if (!CCliArgs::ParseHex(a.options["--base"], value)) {
                error = "setup: --base wants a hexadecimal address of up to 8 digits";
                return false;
            }
            base_ = value;
        }
        if (a.Has("--workspace")) {
            if (!CCliArgs::ParseHex(a.options["--workspace"], value)) {
                error = "setup: --workspace wants a hexadecimal address of up to 8 digits";
                return false;
            }
            workspace_ = value;
        }
        if (a.Has("--banks"))
            banks_ = a.options["--banks"]; // the dialog's own check speaks for it
        int index = 0;
        if (a.Has("--cpu")) {
            if (!ParseListEntry(a.options["--cpu"], CTargetMemorySetup::kCpuTypes, CTargetMemorySetup::kCpuTypeCount,
                                index)) {
                error = "setup: --cpu wants one of " +
                        ListOf(CTargetMemorySetup::kCpuTypes, CTargetMemorySetup::kCpuTypeCount);
                return false;
            }
            cpu_ = index;
        }
        if (a.Has("--clock")) {
            if (!ParseListEntry(a.options["--clock"], CTargetMemorySetup::kJtagClocks,
                                CTargetMemorySetup::kJtagClockCount, index)) {
                error = "setup: --clock wants one of " +
                        ListOf(CTargetMemorySetup::kJtagClocks, CTargetMemorySetup::kJtagClockCount);
                return false;
            }
            clock_ = index;
        }
        if (a.Has("--endian")) {
            const std::string& v = a.options["--endian"];
            if (v != "little" && v != "big") {
                error = "setup: --endian wants little or big";
                return false;
            }
            bigEndian_ = v == "big";
        }
        if (a.Has("--target-algorithm")) {
            const std::string& v = a.options["--target-algorithm"];
            if (v != "on" && v != "off") {
                error = "setup: --target-algorithm wants on or off";
                return false;
            }
            targetAlgorithm_ = v == "on";
        }
        return true;
    }

    bool Check(const SCliRun& run, std::string& error) const override
    {
        if (run.imageOnly) {
            error = "setup: --physical works on the image alone; the setup belongs to a project";
            return false;
        }
        return true;
    }

    int Run(CCliSession& session) override
    {
        CQpgDoc& doc = session.Doc();
        CMessageBox& box = session.Box();
        CTargetSetupCommand command(doc);
        CTargetMemorySetup& dialog = command.setup;
        dialog.Open(""); // the command line has "devices" instead of memList.txt

        if (device_) {
            std::string name;
            CFlashCatalogue::GetFlashName(*device_, name);
            session.View().SetStatus(Format("setup: device \"%s\" (row %d)", name.c_str(), *device_));
        }
        // A person may set the values in any order, and the dialog checks
        // each step against what is set so far (a base that fits an 8-bit
        // bus but not the 16-bit default, say). So the step looks for an
        // order the dialog accepts, tried on copies without messages, and
        // then applies that order; when none works the plain order shows the
        // dialog's own reason.
        constexpr SOrder kOrders[] = {{false, false}, {true, false}, {false, true}, {true, true}};
        const SOrder* chosen = &kOrders[0];
        for (const SOrder& order : kOrders) {
            CTargetMemorySetup trial = dialog;
            CSilentBox silent;
            std::string refusal;
            if (Apply(trial, silent, order, refusal) && trial.Confirm(silent)) {
                chosen = &order;
                break;
            }
        }
        std::string refusal;
        if (!Apply(dialog, box, *chosen, refusal)) {
            if (!refusal.empty())
                return Refuse(refusal);
            return kExitFailed; // the dialog's reading refused the fields; its message was shown
        }
        if (!command.Confirm(box))
            return kExitFailed; // the dialog's message was shown
        command.StoreBack();
        const CMemoryRange& range = doc.physicalRange;
        const std::string rangeText =
            range.GetSize() == 0 ? std::string("empty")
                                 : Format("%08lX - %08lX", static_cast<unsigned long>(range.GetStart()),
                                          static_cast<unsigned long>(range.GetEnd()));
        session.View().SetStatus(Format("Target memory setup: %s, %d bit bus, %d bank(s), base %08lX; memory range %s",
                                        doc.memoryType.c_str(), static_cast<int>(doc.BusWidthBytes() * 8),
                                        doc.bankCount, static_cast<unsigned long>(range.GetStart()),
                                        rangeText.c_str()));
        return kExitOk;
    }

private:
    struct SOrder {
        bool busFirst; // the bus width before the device
        bool baseLast; // the fields only after device and bus
    };

    // Answers every box with its first button and shows nothing: the trial runs.
    class CSilentBox final : public CMessageBox {
    public:
        EMsgResult Show(const std::string&, const std::string&, EMsgIcon, EMsgButtons buttons) override
        {
            return buttons == EMsgButtons::YesNo ? EMsgResult::Yes : EMsgResult::Ok;
        }
    };

    // Sets the step's values on the dialog in the given order. False when the
    // dialog refused one: `refusal` says why, or is empty when the dialog's
    // own message was shown.
    bool Apply(CTargetMemorySetup& dialog, CMessageBox& box, const SOrder& order, std::string& refusal) const
    {
        // The lists and the check box are always enabled.
        if (cpu_)
            dialog.cpuIndex = *cpu_;
        if (clock_)
            dialog.clockIndex = *clock_;
        if (bigEndian_)
            dialog.bigEndianChecked = *bigEndian_;
        // The fields are typed wherever they are enabled: before the device is
        // chosen, and again after the choices for those it has just enabled.
        const auto typeFields = [&] {
            if (banks_ && dialog.enabled.banks)
                dialog.banksText = *banks_;
            if (base_ && dialog.enabled.baseAddress)
                dialog.baseField.SetValue(*base_);
            if (workspace_ && dialog.enabled.workspace)
                dialog.workspaceField.SetValue(*workspace_);
        };
        const auto selectBus = [&] {
            const bool enabled[] = {dialog.enabled.bus8, dialog.enabled.bus16, dialog.enabled.bus32};
            if (bus_ && dialog.BusWidth() != *bus_ && enabled[*bus_])
                dialog.SelectBusWidth(*bus_);
        };
        if (!order.baseLast)
            typeFields();
        if (order.busFirst)
            selectBus();
        if (device_) {
            dialog.SelectMemoryType(*device_, box);
            if (dialog.memoryIndex != *device_)
                return false;
        }
        const std::string device = "\"" + dialog.Record().memoryType + "\"";
        if (bus_ && dialog.BusWidth() != *bus_) {
            const bool enabled[] = {dialog.enabled.bus8, dialog.enabled.bus16, dialog.enabled.bus32};
            if (!enabled[*bus_]) {
                refusal = Format("--bus %d: the dialog sets %d bit for %s and disables the %d Bit button", 8 << *bus_,
                                 8 << dialog.BusWidth(), device.c_str(), 8 << *bus_);
                return false;
            }
            dialog.SelectBusWidth(*bus_);
        }
        if (targetAlgorithm_ && dialog.targetAlgorithmChecked != *targetAlgorithm_) {
            if (!dialog.enabled.targetAlgorithm) {
                refusal = Format("--target-algorithm %s: the dialog fixes \"Use target algorithm\" %s for %s",
                                 *targetAlgorithm_ ? "on" : "off", dialog.targetAlgorithmChecked ? "on" : "off",
                                 device.c_str());
                return false;
            }
            dialog.SetTargetAlgorithm(*targetAlgorithm_, box);
        }
        typeFields();

        // A field that stayed disabled holds what the dialog put there.
        if (banks_ && !SameNumber(*banks_, dialog.banksText)) {
            refusal = Format("--banks %s: the dialog fixes the number of banks at %s for %s", banks_->c_str(),
                             dialog.banksText.c_str(), device.c_str());
            return false;
        }
        if (base_ && dialog.baseField.Value() != *base_) {
            refusal = Format("--base %08lX: the dialog fixes the base address at %08lX for %s",
                             static_cast<unsigned long>(*base_), static_cast<unsigned long>(dialog.baseField.Value()),
                             device.c_str());
            return false;
        }
        if (workspace_ && dialog.workspaceField.Value() != *workspace_) {
            refusal = Format("--workspace %08lX: the workspace field is disabled while \"Use target algorithm\" "
                             "is off",
                             static_cast<unsigned long>(*workspace_));
            return false;
        }
        return true;
    }

    // The banks field as typed and as shown: the same number, or the same text.
    static bool SameNumber(const std::string& a, const std::string& b)
    {
        uint32_t x = 0, y = 0;
        return a == b || (CCliArgs::ParseDecimal(a, x) && CCliArgs::ParseDecimal(b, y) && x == y);
    }

    static int Refuse(const std::string& why)
    {
        std::fprintf(stderr, "tarvel-cli: setup: %s\n", why.c_str());
        return kExitFailed;
    }

    std::optional<int> device_;
    std::optional<int> bus_;
    std::optional<uint32_t> base_;
    std::optional<uint32_t> workspace_;
    std::optional<std::string> banks_;
    std::optional<int> cpu_;
    std::optional<int> clock_;
    std::optional<bool> bigEndian_;
    std::optional<bool> targetAlgorithm_;
};

} // namespace

std::unique_ptr<CCliStep> CreateSetupStep()
{
    return std::make_unique<CSetupStep>();
}
