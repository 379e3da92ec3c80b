#include "gui/app/screenshot_tour.h"

#include "gui/dialogs/target_setup_dialog.h"

#include "gui/app/file_commands.h"
#include "gui/app/main_frame.h"
#include "gui/app/qpg_app.h"
#include "gui/dialogs/target_setup_dialog.h"
#include "project/code_item.h"
#include "project/qpg_doc.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QClipboard>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <vector>

namespace {

constexpr int kSettleMs = 250;

void Type(QWidget* window, const char* name, const QString& text)
{
    if (auto* edit = window->findChild<QLineEdit*>(QString::fromLatin1(name))) {
        edit->setText(text);
        emit edit->textEdited(text);
    }
}

void Click(QWidget* window, const char* name)
{
    if (auto* button = window->findChild<QAbstractButton*>(QString::fromLatin1(name)))
        button->click();
}

void CloseWindow(QWidget* widget)
{
    if (auto* box = qobject_cast<QMessageBox*>(widget)) {
        // The safe answer of a question, OK of a message. A box with details
        // has a button that only shows them: it is never the answer.
        QAbstractButton* answer = box->escapeButton();
        for (const auto roles : {std::initializer_list<QMessageBox::ButtonRole>{QMessageBox::RejectRole, QMessageBox::NoRole},
                                 std::initializer_list<QMessageBox::ButtonRole>{QMessageBox::AcceptRole, QMessageBox::YesRole}}) {
            for (QAbstractButton* button : box->buttons())
                if (!answer && std::find(roles.begin(), roles.end(), box->buttonRole(button)) != roles.end())
                    answer = button;
        }
        if (answer)
            answer->click();
        else
            box->reject();
    } else if (auto* dialog = qobject_cast<QDialog*>(widget)) {
        dialog->reject();
    } else if (widget) {
        widget->close();
    }
}

// A project worth a report: a title, a comment of two paragraphs, sectors
// to erase and a main init list longer than a page.
void FillSampleReport(CQpgDoc& doc)
{
    doc.headerLeft = "Line 3 programming station";
    doc.headerRight = "X-200 rev. C";
    doc.setupTitle = "X-200 boot flash";
    doc.comment = "Boot flash of the X-200 controller board, programmed at the end of line 3.\r\n\r\n"
                  "The main list opens chip select 0 for the flash and sets the bus timing; the list is "
                  "long because every register of the memory controller is written.";
    for (int sector = 0; sector < 6; ++sector)
        doc.eraseMap.SelectSector(0, sector, 1);
    for (int i = 0; i < 70; ++i)
        doc.mainList.Add(CCodeItem(CCodeItem::Wm32, 0xFFE00000u + 4u * static_cast<uint32_t>(i),
                                   0x2000u + static_cast<uint32_t>(i), "memory controller register " + std::to_string(i)));
}

} // namespace

CScreenshotTour::CScreenshotTour(CQpgApp& app, const QString& folder) : app_(app), folder_(folder)
{
    CMainFrame& frame = app_.Frame();
    using EDoc = CQpgDoc::ECommand;
    const auto trigger = [&frame](int id) { return [&frame, id] { frame.Action(id)->trigger(); }; };

    Add("main-window", {}, {}, false);
    for (const char* menu : {"fileMenu", "editMenu", "targetMenu", "setupMenu", "viewMenu", "helpMenu"}) {
        Add(QString::fromLatin1(menu).replace("Menu", "-menu"),
            [&frame, menu] {
                QMenu* m = frame.findChild<QMenu*>(QString::fromLatin1(menu));
                m->popup(frame.mapToGlobal(frame.menuBar()->geometry().bottomLeft() + QPoint(8, 0)));
            },
            {}, false);
    }
    Add("load-dialog", trigger(static_cast<int>(EDoc::Load)),
        [](QWidget* w) { Click(w, "loadButton"); });
    Add("store-dialog", trigger(static_cast<int>(EDoc::Store)), [this](QWidget* w) {
        Click(w, "fitButton");
        Type(w, "fileNameEdit", QDir(folder_).filePath("store-sample.s19"));
        Click(w, "storeButton");
    });
    Add("store-replace-question", trigger(static_cast<int>(EDoc::Store)), [this](QWidget* w) {
        Type(w, "fileNameEdit", QDir(folder_).filePath("store-sample.s19"));
        CatchNextBox("store-replace-question");
        Click(w, "storeButton");
    });
    Add("fill-dialog", trigger(static_cast<int>(EDoc::Fill)), [](QWidget* w) { Click(w, "wordRadio"); });
    Add("fill-range-message", trigger(static_cast<int>(EDoc::Fill)), [this](QWidget* w) {
        Click(w, "endRadio");
        Type(w, "startEdit", "00000100");
        Type(w, "secondEdit", "000000FF");
        CatchNextBox("fill-range-message");
        Click(w, "fillButton");
    });
    Add("checksum-dialog", trigger(static_cast<int>(EDoc::Checksum)),
        [](QWidget* w) { Click(w, "calculateButton"); });
    Add("checksum-overlap-question", trigger(static_cast<int>(EDoc::Checksum)), [this](QWidget* w) {
        Click(w, "calculateButton");
        QString start;
        if (auto* edit = w->findChild<QLineEdit*>("startEdit"))
            start = edit->text();
        Type(w, "destEdit", start);
        CatchNextBox("checksum-overlap-question");
        Click(w, "storeButton");
    });
    Add("edit-image-dialog", trigger(static_cast<int>(EDoc::Edit)), {});
    Add("edit-image-long", trigger(static_cast<int>(EDoc::Edit)), [](QWidget* w) { Click(w, "longRadio"); });
    Add("clear-question", trigger(static_cast<int>(EDoc::Clear)), {});
    AddTargetSteps();
    AddSetupSteps();
    Add("print-comment-dialog",
        [this, &frame] {
            FillSampleReport(app_.Doc());
            frame.UpdateCommands();
            frame.Action(static_cast<int>(EDoc::PrintComment))->trigger();
        },
        [](QWidget* w) {
            if (auto* comment = w->findChild<QPlainTextEdit*>("commentEdit"))
                comment->moveCursor(QTextCursor::End);
        });
    Add("print-preview", trigger(CMainFrame::FilePrintPreview), {});
    Add("main-window-report", {}, {}, false);
    Add("save-changes-question", [this, &frame] {
        app_.Doc().SetModifiedFlag();
        frame.Files().NewFile();
    });
    Add("about-dialog", trigger(CMainFrame::AppAbout), {});
    Add("help-window", trigger(CMainFrame::HelpTopics), {}, false);
}

void CScreenshotTour::AddTargetSteps()
{
    // The target dialogs reach the simulated probe that scripts/screenshots
    // starts (the project's channel names it). The image is filled over the
    // whole flash first, so that a program and a verify run long enough to
    // be caught half-way.
    CMainFrame& frame = app_.Frame();
    using EDoc = CQpgDoc::ECommand;
    const auto trigger = [&frame](EDoc id) { return [&frame, id] { frame.Action(static_cast<int>(id))->trigger(); }; };
    Add("dump-dialog", trigger(EDoc::Dump), [](QWidget* w) { Click(w, "fitButton"); });
    Add("erase-dialog", trigger(EDoc::Erase), {});
    Add("erase-all-done", trigger(EDoc::Erase), [](QWidget* w) { Click(w, "eraseAllButton"); });
    Add("program-dialog",
        [this, open = trigger(EDoc::Program)] {
            CQpgDoc& doc = app_.Doc();
            const uint32_t size = doc.physicalRange.GetSize();
            std::vector<uint8_t> bytes(size);
            for (uint32_t i = 0; i < size; ++i)
                bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
            doc.image.WriteBlock(doc.physicalRange.GetStart(), bytes.data(), size);
            open();
        },
        [](QWidget* w) { Click(w, "fitButton"); });
    Add("program-done", trigger(EDoc::Program), [this](QWidget* w) {
        Click(w, "fitButton");
        SaveHalfWay(w, "program-running");
        Click(w, "startButton");
    });
    Add("verify-dialog", trigger(EDoc::Verify), {});
    Add("verify-done", trigger(EDoc::Verify), [this](QWidget* w) {
        Click(w, "fitButton");
        SaveHalfWay(w, "verify-running");
        Click(w, "startButton");
    });
    Add("verify-failure", trigger(EDoc::Verify), [this](QWidget* w) {
        CQpgDoc& doc = app_.Doc();
        const uint32_t at = doc.physicalRange.GetStart() + 0x1234;
        doc.image.WriteByte(at, static_cast<uint8_t>(doc.image.ReadByte(at) ^ 0x21));
        Type(w, "startEdit", "80001000");
        Type(w, "secondEdit", "00001000");
        CatchBoxWhenUp("verify-failure-box");
        Click(w, "startButton");
    });
    // The grid of a two-bank project of the 35-sector device; Cancel leaves
    // the erase map as it was.
    Add("erase-sectors-dialog",
        [this, open = trigger(EDoc::Erase)] {
            CQpgDoc& doc = app_.Doc();
            doc.bankCount = 2;
            doc.eraseMap.Resize(2, 35);
            doc.eraseMap.SelectSector(0, 3, 1);
            doc.eraseMap.SelectSector(1, 17, 1);
            open();
        },
        [this](QWidget* w) {
            // The grid opens while the erase's worker waits: looked for until it is up.
            auto* timer = new QTimer(w);
            connect(timer, &QTimer::timeout, this, [this, timer] {
                QWidget* grid = QApplication::activeModalWidget();
                if (!grid || grid->objectName() != "eraseSectorsDialog")
                    return;
                timer->stop();
                Save(grid, "erase-sectors-grid");
                Click(grid, "nextButton");
                Save(grid, "erase-sectors-grid-page2");
                CloseWindow(grid);
            });
            timer->start(20);
            Click(w, "eraseSectorsButton");
        });
}

void CScreenshotTour::SaveHalfWay(QWidget* dialog, const QString& name)
{
    // Polled while the operation runs: the window keeps serving its events.
    // The timer belongs to the dialog and ends with it.
    auto* timer = new QTimer(dialog);
    connect(timer, &QTimer::timeout, this, [this, timer, dialog, name] {
        auto* bar = dialog->findChild<QProgressBar*>("progressBar");
        auto* status = dialog->findChild<QLabel*>("statusLine");
        if (!bar || !status) {
            timer->deleteLater();
            return;
        }
        if (bar->value() >= 20 && bar->value() <= 85 && status->text().contains("/s")) {
            Save(dialog, name);
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

void CScreenshotTour::CatchBoxWhenUp(const QString& name)
{
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, timer, name] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        // A box with details is shown with them opened.
        for (QAbstractButton* button : box->buttons())
            if (box->buttonRole(button) == QMessageBox::ActionRole)
                button->click();
        QTimer::singleShot(kSettleMs, this, [this, box = QPointer<QMessageBox>(box), name] {
            Save(box, name);
            CloseWindow(box);
        });
    });
    timer->start(20);
}

void CScreenshotTour::Add(const QString& name, std::function<void()> open, std::function<void(QWidget*)> work,
                          bool modal)
{
    steps_.push_back({name, std::move(open), std::move(work), modal});
}

void CScreenshotTour::Start()
{
    QDir().mkpath(folder_);
    QTimer::singleShot(kSettleMs, this, &CScreenshotTour::Next);
}

void CScreenshotTour::Save(QWidget* widget, const QString& name)
{
    if (!widget) {
        std::fprintf(stderr, "screenshots: no window for %s\n", qPrintable(name));
        failed_ = true;
        return;
    }
    const QString path = QDir(folder_).filePath(name + ".png");
    if (!widget->grab().save(path)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        failed_ = true;
        return;
    }
    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);
}

void CScreenshotTour::CatchNextBox(const QString& name)
{
    QTimer::singleShot(kSettleMs, this, [this, name] {
        QWidget* box = QApplication::activeModalWidget();
        caught_ = true;
        Save(box, name);
        CloseWindow(box);
    });
}

void CScreenshotTour::CatchNextWindow(const QString& name, std::function<void(QWidget*)> work)
{
    QTimer::singleShot(kSettleMs, this, [this, name, work] {
        QWidget* window = QApplication::activeModalWidget();
        if (window && work)
            work(window);
        caught_ = true;
        if (!name.isEmpty())
            Save(window, name);
        if (window && window == QApplication::activeModalWidget())
            CloseWindow(window);
    });
}

void CScreenshotTour::Next()
{
    if (index_ >= steps_.size()) {
        QFile::remove(QDir(folder_).filePath("store-sample.s19"));
        // The tour's edits are not worth keeping: no save question at the end.
        app_.Doc().SetModifiedFlag(false);
        QApplication::quit();
        return;
    }
    const SStep step = steps_[index_++];
    caught_ = false;
    CMainFrame& frame = app_.Frame();
    if (!step.open) {
        Save(&frame, step.name);
        QTimer::singleShot(0, this, &CScreenshotTour::Next);
        return;
    }
    if (!step.modal) {
        step.open();
        QTimer::singleShot(kSettleMs, this, [this, step] {
            QWidget* shown = QApplication::activePopupWidget();
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (!shown && top->isVisible() && top != &app_.Frame() && top->objectName() == "helpWindow")
                    shown = top;
            }
            Save(shown, step.name);
            CloseWindow(shown);
            QTimer::singleShot(kSettleMs, this, &CScreenshotTour::Next);
        });
        return;
    }
    QTimer::singleShot(kSettleMs, this, [this, step] {
        QWidget* window = QApplication::activeModalWidget();
        if (window && step.work)
            step.work(window);
        // A step that caught a question or dialog inside the window saves that instead.
        if (window && window == QApplication::activeModalWidget()) {
            if (!caught_)
                Save(window, step.name);
            CloseWindow(window);
        }
    });
    step.open();
    QTimer::singleShot(kSettleMs, this, &CScreenshotTour::Next);
}

namespace {

// Picks a "Memory Type:", "Action Type" (or other) list entry by its text.
void Choose(QWidget* window, const char* name, const QString& text)
{
    if (auto* combo = window->findChild<QComboBox*>(QString::fromLatin1(name)))
        combo->setCurrentIndex(combo->findText(text));
}

// Selects rows of the init list editor's list.
void SelectRows(QWidget* window, int first, int count)
{
    auto* list = window->findChild<QAbstractItemView*>("initList");
    if (!list)
        return;
    list->clearSelection();
    QItemSelection selection(list->model()->index(first, 0), list->model()->index(first + count - 1, 0));
    list->selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

} // namespace

void CScreenshotTour::AddSetupSteps()
{
    CMainFrame& frame = app_.Frame();
    using EDoc = CQpgDoc::ECommand;
    const auto trigger = [&frame](EDoc id) { return [&frame, id] { frame.Action(static_cast<int>(id))->trigger(); }; };
    const auto askOnOk = [this](const QString& name, std::function<void(QWidget*)> fill) {
        return [this, name, fill](QWidget* w) {
            fill(w);
            CatchNextBox(name);
            Click(w, "okButton");
        };
    };

    // The Setup dialogs work on a second sample project whose init lists
    // fill the editor; the target steps before them ran on the first one,
    // whose lists are empty so that nothing stands between them and the board.
    Add("target-memory-dialog",
        [this, &frame, trigger] {
            app_.Doc().SetModifiedFlag(false);
            frame.Files().OpenPath("lists.tvl");
            trigger(EDoc::TargetMemory)();
        },
        {});
    Add("target-memory-lpc2000", trigger(EDoc::TargetMemory),
        [](QWidget* w) { Choose(w, "memoryTypeCombo", "LPC2000 Flash (128K)"); });
    Add("target-memory-overlap-message", trigger(EDoc::TargetMemory),
        askOnOk("target-memory-overlap-message",
                [](QWidget* w) { Choose(w, "memoryTypeCombo", "LPC2000 Flash (128K)"); }));
    Add("target-memory-cfmclkd-message", trigger(EDoc::TargetMemory), [this](QWidget* w) {
        CatchNextBox("target-memory-cfmclkd-message");
        Choose(w, "memoryTypeCombo", "MAC7100 Data Flash (32K)");
        // The reminder waits for the list to rest; the tour does not.
        if (auto* setup = qobject_cast<CTargetSetupDialog*>(w))
            setup->ShowPendingReminder();
    });
    Add("target-memory-banks-message", trigger(EDoc::TargetMemory),
        askOnOk("target-memory-banks-message", [](QWidget* w) { Type(w, "banksEdit", "17"); }));
    Add("target-memory-integer-message", trigger(EDoc::TargetMemory),
        askOnOk("target-memory-integer-message", [](QWidget* w) { Type(w, "banksEdit", "two"); }));
    Add("target-memory-range-message", trigger(EDoc::TargetMemory),
        askOnOk("target-memory-range-message", [](QWidget* w) { Type(w, "baseEdit", "FFFF0000"); }));

    // Communication Setup, its link test and its messages.
    Add("communication-dialog", trigger(EDoc::Communication), {});
    Add("communication-ip-message", trigger(EDoc::Communication),
        askOnOk("communication-ip-message", [](QWidget* w) {
            Click(w, "networkRadio");
            Type(w, "ipEdit", "192.168.1");
        }));
    Add("communication-port-message", trigger(EDoc::Communication),
        askOnOk("communication-port-message", [](QWidget* w) { Click(w, "com2Radio"); }));
    Add("communication-test-passed-message", trigger(EDoc::Communication), [this](QWidget* w) {
        Click(w, "networkRadio");
        Type(w, "ipEdit", "127.0.0.1");
        CatchNextBox("communication-test-passed-message");
        Click(w, "testButton");
    });
    Add("communication-test-failed-message", trigger(EDoc::Communication), [this](QWidget* w) {
        Click(w, "networkRadio");
        Type(w, "ipEdit", "127.0.0.2");
        CatchNextBox("communication-test-failed-message");
        Click(w, "testButton");
    });

    // The init list editor (the main list holds a few entries, the
    // pre-program list several hundred), the Edit Init Line dialog and the
    // messages.
    Add("initlist-dialog", trigger(EDoc::MainList), [](QWidget* w) { SelectRows(w, 1, 3); });
    Add("initlist-delete-question", trigger(EDoc::MainList), [this](QWidget* w) {
        SelectRows(w, 0, 2);
        CatchNextBox("initlist-delete-question");
        Click(w, "deleteButton");
    });
    Add("initlist-copy-refused-message", trigger(EDoc::PreProgramList), [this](QWidget* w) {
        SelectRows(w, 0, 257);
        CatchNextBox("initlist-copy-refused-message");
        Click(w, "copyButton");
    });
    Add("initlist-paste-text-message", trigger(EDoc::MainList), [this](QWidget* w) {
        QApplication::clipboard()->setText("WM32\t0x10\t0x20\tfine\nDear diary,\n");
        CatchNextBox("initlist-paste-text-message");
        Click(w, "pasteButton");
    });
    const struct {
        const char* name;
        const char* type;
        std::function<void(QWidget*)> fill;
    } lines[] = {
        {"initline-nop", "NOP", {}},
        {"initline-delay", "Delay", [](QWidget* w) { Type(w, "msEdit", "250"); }},
        {"initline-wgpr", "Write GPR",
         [](QWidget* w) {
             Type(w, "registerEdit", "13");
             Type(w, "valueEdit", "40001000");
         }},
        {"initline-exec", "Execute",
         [](QWidget* w) {
             Type(w, "addressEdit", "40000000");
             Type(w, "msEdit", "100");
         }},
    };
    for (const auto& line : lines) {
        const QString name = QString::fromLatin1(line.name);
        const QString type = QString::fromLatin1(line.type);
        const auto fill = line.fill;
        Add(name, trigger(EDoc::MainList), [this, name, type, fill](QWidget* w) {
            CatchNextWindow(name, [type, fill](QWidget* line) {
                Choose(line, "actionTypeCombo", type);
                if (fill)
                    fill(line);
            });
            Click(w, "newButton");
        });
    }
    Add("initline-integer-message", trigger(EDoc::MainList), [this](QWidget* w) {
        CatchNextWindow({}, [this](QWidget* line) {
            Choose(line, "actionTypeCombo", "Delay");
            Type(line, "msEdit", "");
            CatchNextBox("initline-integer-message");
            Click(line, "okButton");
        });
        Click(w, "newButton");
    });

    // The probe update dialog: messages first, the loader connection last
    // (leaving the dialog starts the probe's firmware).
    Add("firmware-dialog", trigger(EDoc::Firmware), {});
    Add("firmware-ip-message", trigger(EDoc::Firmware), [this](QWidget* w) {
        Type(w, "ipEdit", "0.0.0.0");
        CatchNextBox("firmware-ip-message");
        Click(w, "connectButton");
    });
    Add("firmware-connect-failed-message", trigger(EDoc::Firmware), [this](QWidget* w) {
        Click(w, "com2Radio");
        CatchNextBox("firmware-connect-failed-message");
        Click(w, "connectButton");
    });
    Add("firmware-dialog-connected", trigger(EDoc::Firmware), [](QWidget* w) { Click(w, "connectButton"); });
}
