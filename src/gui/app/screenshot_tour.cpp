#include "gui/app/screenshot_tour.h"

#include "gui/app/main_frame.h"
#include "gui/app/qpg_app.h"
#include "project/code_item.h"
#include "project/qpg_doc.h"

#include <QAbstractButton>
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
    Add("not-yet-message", trigger(static_cast<int>(EDoc::Firmware)), {});
    AddTargetSteps();
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
        frame.NewFile();
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
        Save(box, name);
        CloseWindow(box);
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
        // A step that caught a question inside the window saves that instead.
        if (window && window == QApplication::activeModalWidget()) {
            if (!step.work || (!step.name.endsWith("question") && !step.name.endsWith("message")))
                Save(window, step.name);
            CloseWindow(window);
        }
    });
    step.open();
    QTimer::singleShot(kSettleMs, this, &CScreenshotTour::Next);
}
