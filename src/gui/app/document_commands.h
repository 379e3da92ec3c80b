#pragma once

#include "gui/app/window_context.h"

#include <memory>
#include <string>

class CMessageBox;
class COperationView;
class CProbeLibrary;
class CQpgDoc;
class CSettings;

// The Edit, Setup and Target menus of the main window: each command opens
// its dialog on a command class made from the project, and hands the values
// back to the project when the dialog has closed (the command sets the
// modified flag where they differ). The Setup and target dialogs reach the
// probe through one probe library.
class CDocumentCommands {
public:
    CDocumentCommands(const SWindowContext& window, CQpgDoc& doc, CSettings& settings);
    ~CDocumentCommands();

    // The Edit menu.
    void EditLoad();
    void EditStore();
    void EditImage();
    void EditClear();
    void EditFill();
    void EditChecksum();
    // The Load dialog of an opened project's autoload; answers the load result.
    int RunAutoload(CQpgDoc& doc, COperationView& view, CMessageBox& box);
    // A program file for the memory image (one dropped on the window): the
    // Load dialog opens with it and loads it at once (closing itself when
    // that worked). Answers whether it loaded.
    bool LoadFile(const std::string& path);

    // The Setup menu; the values go back as the command's StoreBack says.
    void SetupCommunication();
    void SetupFirmware();
    void SetupTargetMemory();
    void SetupInitList(int which); // a CQpgDoc::EInitList
    // The target commands (Dump is on the Edit menu): each opens its dialog,
    // whose operations reach the probe on the project's channel.
    void EditDump();
    void TargetErase();
    void TargetProgram();
    void TargetVerify();

    // The probe library the Setup and target dialogs use (tests hand in their
    // own; by default the program's link to the probe, made on first use).
    void SetProbeLibrary(CProbeLibrary* library) { probe_ = library; }
    CProbeLibrary& ProbeLibrary();

private:
    // A command's dialog on the project, then the window's commands brought
    // up to date.
    template <class TCommand, class TDialog>
    void RunDialog();
    template <class TCommand, class TDialog>
    void RunTargetDialog();

    SWindowContext window_;
    CQpgDoc& doc_;
    CSettings& settings_;
    std::unique_ptr<CProbeLibrary> ownProbe_;
    CProbeLibrary* probe_ = nullptr;
    std::string gdbChannel_;  // "GDB HOST:PORT" when a GDB server stands in for the probe
};
