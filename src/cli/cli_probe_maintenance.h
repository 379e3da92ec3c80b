#pragma once

// What the probe maintenance steps (probe-info, probe-update,
// probe-netsetup) share: the Firmware command on the run's project, its
// loader reached through --probe / --sim or the project's loader port, and
// the printing of what the dialog shows.

#include "cli/cli_args.h"
#include "cli/cli_percent_view.h"
#include "cli/cli_program_directory.h"
#include "cli/cli_session.h"
#include "commands/probe_update_command.h"
#include "common/settings.h"
#include "probe/maintenance/probe_version.h"

#include <cstdio>
#include <memory>

// The loader port options of a probe step: --port COM1..COM4 and --baud
// 9600|19200|38400|57600 (the ports and rates of the update dialog); -1 when
// not given. False with `error` for another value.
struct SCliLoaderPort {
    int channel = -1;
    int baud = -1;

    bool Parse(const CCliArgs::SStepArgs& a, const std::string& step, std::string& error)
    {
        static const char* const ports[] = {"COM1", "COM2", "COM3", "COM4"};
        static const char* const bauds[] = {"9600", "19200", "38400", "57600"};
        for (int i = 0; i < 4; ++i) {
            if (a.Has("--port") && a.options.at("--port") == ports[i])
                channel = i;
            if (a.Has("--baud") && a.options.at("--baud") == bauds[i])
                baud = i;
        }
        if (a.Has("--port") && channel < 0) {
            error = step + ": --port wants COM1, COM2, COM3 or COM4";
            return false;
        }
        if (a.Has("--baud") && baud < 0) {
            error = step + ": --baud wants 9600, 19200, 38400 or 57600";
            return false;
        }
        return true;
    }
};

class CCliProbeMaintenance {
public:
    explicit CCliProbeMaintenance(CCliSession& session)
        : gdbServer_(session.Probe().IsGdbServer()),
          gdbChannel_(session.Probe().ChannelText("")),
          view_(session.View()),
          command_(session.Doc(), session.Probe().Library(), view_, session.Box(), CliProgramDirectory(session.Settings()))
    {
        if (session.Probe().HasOverride())
            command_.model.channelOverride = session.Probe().ChannelText("");
    }

    CUpdateSetupModel& Model() { return command_.model; }

    // A loader port given to the step replaces the project's (and goes back
    // into it as OK takes it).
    void UsePort(const SCliLoaderPort& port)
    {
        if (port.channel >= 0)
            command_.model.channel = port.channel;
        if (port.baud >= 0)
            command_.model.baud = port.baud;
    }

    // The end of every step, as OK ends the dialog: starts the firmware,
    // closes the link and hands the values back to the project.
    int Finish(int exitCode)
    {
        const bool accepted = command_.model.Finish(true);
        command_.StoreBack(accepted);
        return accepted ? exitCode : 1;
    }

    // What the dialog shows of the probe, on stdout. `fromLoader`: the
    // current versions are the loader's answer (after a failed update the
    // dialog shows them as unknown instead).
    void PrintVersions(bool fromLoader = true)
    {
        const CUpdateSetupModel& m = command_.model;
        std::printf("SN:  %s\nMAC: %s\n", m.serialNumber.c_str(), m.macAddress.c_str());
        std::printf("          Current   Newest\n");
        std::printf("Loader    %s\n", CProbeVersion::Text(m.loaderVersion).c_str());
        std::printf("Firmware  %-9s %s\n", CProbeVersion::Text(m.firmwareVersion).c_str(),
                    CProbeVersion::Text(m.newestFirmware).c_str());
        std::printf("Logic     %-9s %s\n", CProbeVersion::Text(m.logicVersion).c_str(),
                    CProbeVersion::Text(m.newestLogic).c_str());
        if (fromLoader && m.Connected() && m.firmwareVersion == 0)
            std::printf("The probe holds no firmware that starts: run probe-update.\n");
        else if (fromLoader && m.UpdateEnabled() && NewerFileFound())
            std::printf("An update is available: run probe-update.\n");
        std::fflush(stdout);
    }

    // The loader's Connect, which on failure names the channel it tried
    // (the dialog's box does not).
    bool Connect(const char* step)
    {
        if (gdbServer_) {
            std::fprintf(stderr, "tarvel-cli: %s needs a QDX7000 probe; %s is a GDB server\n", step,
                         gdbChannel_.c_str());
            return false;
        }
        CUpdateSetupModel& m = command_.model;
        if (m.Connect())
            return true;
        std::fprintf(stderr, "tarvel-cli: %s: no probe loader answered on %s\n", step, m.LoaderChannelText().c_str());
        return false;
    }

    // The families whose newest version is unknown, each named with the
    // files looked for and the directory searched, on stderr. True when
    // there is none.
    bool ReportMissingFiles(const char* step)
    {
        const CUpdateSetupModel& m = command_.model;
        const std::string& dir = m.Files().Directory();
        bool complete = true;
        if (m.newestFirmware == 0) {
            std::fprintf(stderr, "tarvel-cli: %s: no firmware file %s.nnn in %s\n", step,
                         CProbeImageFiles::kFirmwareFamily, dir.c_str());
            complete = false;
        }
        if (m.newestLogic == 0) {
            std::fprintf(stderr, "tarvel-cli: %s: no logic file %s.nnn in %s\n", step, CProbeImageFiles::kLogicFamily,
                         dir.c_str());
            complete = false;
        }
        return complete;
    }

private:
    // A file newer (or older) than what the probe runs was found; an
    // unknown newest version is no reason to update.
    bool NewerFileFound() const
    {
        const CUpdateSetupModel& m = command_.model;
        return (m.newestFirmware != 0 && m.newestFirmware != m.firmwareVersion) ||
               (m.newestLogic != 0 && m.newestLogic != m.logicVersion);
    }

    bool gdbServer_;
    std::string gdbChannel_;
    CCliPercentView view_;
    CProbeUpdateCommand command_;
};
