#pragma once

#include "cli/cli_message_box.h"
#include "cli/cli_operation_view.h"
#include "cli/cli_probe.h"
#include "cli/cli_run_directory.h"
#include "cli/cli_step_report.h"
#include "common/settings.h"
#include "flash/device_check.h"
#include "project/qpg_doc.h"

#include <memory>
#include <string>
#include <vector>

// What the steps of one run share: the project document with its memory
// image, the person-facing message box and operation view, and what a run
// must report at its end.
class CCliSession {
public:
    // `settings`: the values of this run, taken from the environment by main.
    CCliSession(CCliMessageBox::EAnswer answer, const CSettings& settings);
    ~CCliSession();
    CCliSession(const CCliSession&) = delete;
    CCliSession& operator=(const CCliSession&) = delete;

    // Creates the image's backing file in a private directory made inside
    // the image directory of the settings (else $TMPDIR, else /tmp), so that
    // runs side by side (a production line) never share one. False (message
    // printed) on failure.
    bool OpenImage();

    // --project FILE: opens FILE when it exists (its autoload runs), else
    // starts a new project that `save` writes to FILE. False when the file
    // exists but cannot be read (the message was shown) or its autoload
    // failed.
    bool OpenProject(const std::string& path);
    // --physical R: the image alone, without a device; the range is the
    // physical memory range and the image base is its start.
    void UseImageOnly(const CMemoryRange& physical);

    // Whether a step may run a menu command: true when the command is
    // enabled (or the run works on the image alone); otherwise the reason is
    // printed and false returned.
    bool Allows(CQpgDoc::ECommand command, const char* step);

    CQpgDoc& Doc() { return *doc_; }
    CMemoryImage& Image() { return doc_->image; }
    const CMemoryRange& Physical() const { return doc_->physicalRange; }
    CCliMessageBox& Box() { return box_; }
    CCliOperationView& View() { return view_; }
    // Where the target steps reach a probe.
    CCliProbe& Probe() { return probe_; }
    // The values of this run (program directory, serial devices, ...).
    const CSettings& Settings() const { return settings_; }
    const std::string& ProjectPath() const { return projectPath_; }
    bool ImageOnly() const { return imageOnly_; }
    // --verbose: more status lines (each file format a load tries).
    bool Verbose() const { return verbose_; }
    void SetVerbose(bool verbose) { verbose_ = verbose; }

    // A step's report: BeginReport before it runs; the target steps note
    // the result of each operation and the spans it covered; TakeReport
    // with the step's exit code answers the report (its message: the
    // failure's text, else the last status line).
    void BeginReport();
    // An erase's sectors come from its passes; an erase that reports none
    // (the on-chip families) and passed erased `planned`.
    void NoteResult(const SOperationResult& result, const std::vector<CMemoryRange>& spans,
                    const std::vector<SFlashSector>& planned = {});
    // flash --changed-only: the sectors that already held the image.
    void NoteSkipped(const std::vector<SFlashSector>& sectors) { report_.skippedSectors = sectors; }
    SCliStepReport TakeReport(int exitCode);

    // A load put bytes outside the image window or the physical range.
    bool outsideSeen = false;
    // Erase and program refuse a flash whose identity does not match the
    // project's device; --no-device-check does not read it (Off).
    EDeviceCheck deviceCheck = EDeviceCheck::Refuse;

    // Copies standard input (bounded) into a file of the run's directory and
    // names it in `path`; false (message printed) on failure. RemoveSpool
    // deletes the copy once it has been read.
    bool SpoolStandardInput(std::string& path);
    void RemoveSpool();

    // The image ranges this run wrote (load, the project's autoload, fill,
    // dump): what program and verify cover when no --range is given.
    void RecordWritten(const CMemoryRange& range);
    // Those ranges inside the physical range, widened to whole bus units
    // (as the document widens the image's used range), sorted and merged
    // where they touch.
    std::vector<CMemoryRange> WrittenRanges() const { return AlignedInside(written_); }
    // True when this run wrote any byte inside `range`.
    bool WroteInto(const CMemoryRange& range) const;
    // `ranges` inside the physical range, widened to whole bus units, sorted
    // and merged where they touch.
    std::vector<CMemoryRange> AlignedInside(const std::vector<CMemoryRange>& ranges) const;

private:
    CSettings settings_;
    // Declared before the document: it is removed after the image is closed.
    CCliRunDirectory runDir_;
    CCliMessageBox box_;
    CCliOperationView view_;
    CCliProbe probe_;
    std::unique_ptr<CQpgDoc> doc_;
    std::string projectPath_;
    bool imageOnly_ = false;
    bool verbose_ = false;
    std::vector<CMemoryRange> written_;
    SCliStepReport report_;
};
