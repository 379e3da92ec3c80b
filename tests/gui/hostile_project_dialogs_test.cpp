// A project file with values no dialog would write, opened in the desktop
// program: every command of the menus opens its dialog on a clamped view or
// ends in its message, Escape leaves each dialog, the print preview and the
// PDF export lay out the report, and no index, width or count the project
// holds is changed by any of it (the sanitizer build runs this too).
#include "gui/main_frame_fixture.h"
#include "support/hostile_project_cases.h"

#include <QTimer>

#include <set>
#include <vector>

namespace {

// What the dialogs may only read (the ranges and addresses a dialog hands
// back on closing are its own to change).
std::vector<uint64_t> Kept(const CQpgDoc& d)
{
    return {static_cast<uint64_t>(d.targetBaud),     static_cast<uint64_t>(d.targetChannel),
            static_cast<uint64_t>(d.loaderBaud),     static_cast<uint64_t>(d.loaderChannel),
            static_cast<uint64_t>(d.fillUnit),       static_cast<uint64_t>(d.checksumType),
            static_cast<uint64_t>(d.checksumDestType), static_cast<uint64_t>(d.editUnit),
            static_cast<uint64_t>(d.bankCount),      static_cast<uint64_t>(d.busWidth),
            d.targetOptions,                         d.physicalRange.GetStart(),
            d.physicalRange.GetSize(),               static_cast<uint64_t>(d.eraseMap.GetBanks()),
            static_cast<uint64_t>(d.eraseMap.GetSectors()), d.mainList.GetCount(),
            d.postEraseList.GetCount(),              d.preProgramList.GetCount()};
}

class HostileProjectDialogs : public MainFrame, public ::testing::WithParamInterface<SHostileCase> {
protected:
    // Saves the case's project and opens it as File > Open does.
    void OpenHostile()
    {
        CQpgDoc written;
        written.memoryType = kDevice;
        written.busWidth = 1;
        written.physicalRange.Set(0x80000000, 0x200000, 1);
        written.programRange.Set(0x80000000, 0x100, 1);
        written.eraseMap.Resize(1, 35);
        GetParam().set(written);
        kept = Kept(written);
        path = dir.File("hostile.tvl");
        CScriptedMessageBox quiet;
        ASSERT_TRUE(written.Save(path, quiet));
        file = ReadFileBytes(path);
        ASSERT_TRUE(Frame().Files().OpenPath(path)) << (box.shown.empty() ? "" : box.shown.back().text);
    }

    // Triggers `action` (when it can be chosen) and presses Escape in every
    // modal window it opens, nested ones first; answers the windows' names.
    std::vector<std::string> TriggerAndEscape(QAction* action)
    {
        std::vector<std::string> closed;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (QWidget* window = QApplication::activeModalWidget()) {
                closed.push_back(window->objectName().toStdString());
                QTest::keyClick(window, Qt::Key_Escape);
            }
        });
        timer.start(20);
        TriggerAction(action);
        timer.stop();
        return closed;
    }

    std::string path;
    std::string file;
    std::vector<uint64_t> kept;
};

TEST_P(HostileProjectDialogs, EveryMenuCommandOpensOnAClampedViewOrEndsInItsMessage)
{
    OpenHostile();
    const EDoc commands[] = {EDoc::Load,          EDoc::Store,          EDoc::Dump,           EDoc::Edit,
                             EDoc::Fill,          EDoc::Checksum,       EDoc::Program,        EDoc::Verify,
                             EDoc::Erase,         EDoc::TargetMemory,   EDoc::Communication,  EDoc::Firmware,
                             EDoc::MainList,      EDoc::PreEraseList,   EDoc::PostEraseList,  EDoc::PreProgramList,
                             EDoc::PostProgramList, EDoc::PrintComment};
    std::set<std::string> opened;
    for (const EDoc command : commands) {
        QAction* action = Frame().Action(Id(command));
        ASSERT_NE(action, nullptr);
        if (!action->isEnabled())
            continue; // greyed: the project's values keep it from being chosen
        const size_t boxes = box.shown.size();
        const std::vector<std::string> closed = TriggerAndEscape(action);
        EXPECT_TRUE(!closed.empty() || box.shown.size() > boxes)
            << action->text().toStdString() << " neither opened a window nor said why";
        opened.insert(closed.begin(), closed.end());
    }
    // The setup and init list dialogs open whatever the values are.
    for (const char* name : {"targetSetupDialog", "commSetupDialog", "probeUpdateDialog", "initListDialog"})
        EXPECT_TRUE(opened.count(name)) << name;

    // The report: previewed, and exported as PDF.
    EXPECT_FALSE(TriggerAndEscape(Frame().Action(CMainFrame::FilePrintPreview)).empty());
    const std::string pdf = dir.File("hostile.pdf");
    chooser.answers.push_back(pdf);
    TriggerAction(Frame().Action(CMainFrame::FileExportPdf));
    EXPECT_EQ(ReadFileBytes(pdf).rfind("%PDF-", 0), 0u);

    EXPECT_EQ(Kept(Doc()), kept) << "no dialog changed an index, width or count it did not show";
    EXPECT_EQ(ReadFileBytes(path), file) << "nothing was saved";
}

INSTANTIATE_TEST_SUITE_P(Fields, HostileProjectDialogs, ::testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
