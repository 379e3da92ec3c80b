#include "gui/app/document_commands.h"

#include "commands/checksum_command.h"
#include "commands/comm_setup_command.h"
#include "commands/dump_command.h"
#include "commands/edit_image_command.h"
#include "commands/erase_command.h"
#include "commands/fill_command.h"
#include "commands/init_list_command.h"
#include "commands/load_command.h"
#include "commands/probe_update_command.h"
#include "commands/program_command.h"
#include "commands/store_command.h"
#include "commands/target_setup_command.h"
#include "commands/verify_command.h"
#include "common/message_box.h"
#include "common/settings.h"
#include "gui/dialogs/checksum_dialog.h"
#include "gui/dialogs/comm_setup_dialog.h"
#include "gui/dialogs/dump_dialog.h"
#include "gui/dialogs/edit_image_dialog.h"
#include "gui/dialogs/erase_dialog.h"
#include "gui/dialogs/fill_dialog.h"
#include "gui/dialogs/init_list_dialog.h"
#include "gui/dialogs/load_dialog.h"
#include "gui/dialogs/probe_update_dialog.h"
#include "gui/dialogs/program_dialog.h"
#include "gui/dialogs/store_dialog.h"
#include "gui/dialogs/target_setup_dialog.h"
#include "gui/dialogs/verify_dialog.h"
#include "gui/widgets/worker_bridge.h"
#include "probe/gdb/gdb_probe_library.h"
#include "probe/link/link_library.h"
#include "project/qpg_doc.h"

#include <QCoreApplication>
#include <QMainWindow>

#include <functional>

namespace {

// Every command dialog runs the same way: a command made from the project,
// its dialog shown modal, then the values handed back to the project (the
// command sets the modified flag where they differ). `after` sees the dialog
// once it has closed, before the values go back; `prepare` sees the command
// before the dialog is made from it.
template <class TCommand, class TDialog>
void RunCommandDialog(CQpgDoc& doc, const SDialogServices& services, QWidget* parent,
                      const std::function<void(TDialog&)>& after = {},
                      const std::function<void(TCommand&)>& prepare = {})
{
    TCommand command(doc);
    if (prepare)
        prepare(command);
    TDialog dialog(command, services, parent);
    dialog.exec();
    if (after)
        after(dialog);
    command.StoreBack();
}

} // namespace

template <class TCommand, class TDialog>
void CDocumentCommands::RunDialog()
{
    RunCommandDialog<TCommand, TDialog>(doc_, window_.dialogServices(), &window_.window);
    window_.updateCommands();
}

// A target command's dialog runs the same way, with the probe library and
// the bridge through which the operation, on its worker thread, reaches the
// dialog's status line and boxes.
template <class TCommand, class TDialog>
void CDocumentCommands::RunTargetDialog()
{
    CWorkerBridge bridge;
    CProbeLibrary& library = ProbeLibrary();
    TCommand command(doc_, STargetContext{library, bridge, bridge, gdbChannel_});
    TDialog dialog(command, bridge, window_.dialogServices(), &window_.window);
    dialog.exec();
    command.StoreBack();
    window_.updateCommands();
}

CDocumentCommands::CDocumentCommands(const SWindowContext& window, CQpgDoc& doc, CSettings& settings)
    : window_(window), doc_(doc), settings_(settings)
{
}

CDocumentCommands::~CDocumentCommands() = default;

// ---- Edit commands --------------------------------------------------------------

void CDocumentCommands::EditLoad()
{
    RunDialog<CLoadCommand, CLoadDialog>();
}

int CDocumentCommands::RunAutoload(CQpgDoc& doc, COperationView&, CMessageBox&)
{
    int result = -1;
    RunCommandDialog<CLoadCommand, CLoadDialog>(doc, window_.dialogServices(), &window_.window,
                                                [&result](CLoadDialog& dialog) { result = dialog.LastResult(); });
    return result;
}

bool CDocumentCommands::LoadFile(const std::string& path)
{
    if (!doc_.IsCommandEnabled(CQpgDoc::ECommand::Load)) {
        window_.box.Show("Loading a program file needs a flash device.\nChoose one with Setup > Target Memory first.",
                          "", EMsgIcon::Information, EMsgButtons::Ok);
        return false;
    }
    int result = -1;
    RunCommandDialog<CLoadCommand, CLoadDialog>(
        doc_, window_.dialogServices(), &window_.window, [&result](CLoadDialog& dialog) { result = dialog.LastResult(); },
        [&path](CLoadCommand& command) {
            command.model.fileName = path;
            command.model.openedForAutoload = true;
        });
    window_.updateCommands();
    return result == 0;
}

void CDocumentCommands::EditStore()
{
    RunDialog<CStoreCommand, CStoreDialog>();
}

void CDocumentCommands::EditImage()
{
    RunDialog<CEditImageCommand, CEditImageDialog>();
}

void CDocumentCommands::EditClear()
{
    doc_.ClearImage(window_.box);
}

void CDocumentCommands::EditFill()
{
    RunDialog<CFillCommand, CFillDialog>();
}

void CDocumentCommands::EditChecksum()
{
    RunDialog<CChecksumCommand, CChecksumDialog>();
}

// ---- Setup commands -------------------------------------------------------------

void CDocumentCommands::SetupCommunication()
{
    CCommSetupCommand command(doc_, ProbeLibrary(), window_.box);
    CCommSetupDialog dialog(command, window_.dialogServices(), &window_.window);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    command.StoreBack(accepted);
    window_.updateCommands();
}

void CDocumentCommands::SetupFirmware()
{
    std::string directory = settings_.Get(ESetting::ProgramDirectory);
    if (directory.empty())
        directory = QCoreApplication::applicationDirPath().toStdString();
    CProbeUpdateDialog dialog(doc_, ProbeLibrary(), directory, window_.dialogServices(), &window_.window);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    dialog.Command().StoreBack(accepted);
    window_.updateCommands();
}

void CDocumentCommands::SetupTargetMemory()
{
    RunDialog<CTargetSetupCommand, CTargetSetupDialog>();
}

void CDocumentCommands::SetupInitList(int which)
{
    CInitListCommand command(doc_, static_cast<CQpgDoc::EInitList>(which));
    CInitListDialog dialog(command, window_.dialogServices(), &window_.window);
    dialog.exec();
    command.StoreBack();
    window_.updateCommands();
}

// ---- Target commands ------------------------------------------------------------

CProbeLibrary& CDocumentCommands::ProbeLibrary()
{
    if (!probe_) {
        // A GDB server named in the surroundings (TARVEL_GDB_SERVER) stands
        // in for the probe; the project's channel stays as it is. A value
        // that names no server fails the first connection with its text.
        const std::string server = settings_.Get(ESetting::GdbServer);
        if (!server.empty()) {
            if (!CGdbProbeLibrary::ChannelTextOf(server, gdbChannel_))
                gdbChannel_ = std::string("GDB ").append(server);
            ownProbe_ = std::make_unique<CGdbProbeLibrary>();
        } else {
            ownProbe_ = std::make_unique<CLinkLibrary>(settings_);
        }
        probe_ = ownProbe_.get();
    }
    return *probe_;
}

void CDocumentCommands::EditDump()
{
    RunTargetDialog<CDumpCommand, CDumpDialog>();
}

void CDocumentCommands::TargetErase()
{
    RunTargetDialog<CEraseCommand, CEraseDialog>();
}

void CDocumentCommands::TargetProgram()
{
    RunTargetDialog<CProgramCommand, CProgramDialog>();
}

void CDocumentCommands::TargetVerify()
{
    RunTargetDialog<CVerifyCommand, CVerifyDialog>();
}
