#pragma once

#include "gui/app/file_commands.h"
#include "gui/app/main_frame.h"
#include "gui/app/qpg_app.h"
#include "gui/app/qt_settings_store.h"
#include "project/qpg_doc.h"
#include "gui/gui_test_support.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"

#include <QSettings>
#include <QWindow>

#include <gtest/gtest.h>
#include <memory>
#include <string>

using EDoc = CQpgDoc::ECommand;
inline constexpr const char* kDevice = "AMD  Am29LV160MB (1M x 16)";

inline int Id(EDoc c)
{
    return static_cast<int>(c);
}

// The application started over a settings file of the test's own, with a
// scripted message box and file chooser.
class MainFrame : public ::testing::Test {
protected:
    MainFrame()
    {
        Start();
        EXPECT_TRUE(app->InitInstance({"tarvel"}));
    }

    QString Ini() const { return QString::fromStdString(dir.File("settings.ini")); }
    // A new run of the program over the same settings file.
    void Start()
    {
        app.reset();
        store = std::make_unique<CQtSettingsStore>(Ini());
        app = std::make_unique<CQpgApp>(*store, &box, &chooser, [](const char*) -> const char* { return nullptr; });
    }
    CMainFrame& Frame() { return app->Frame(); }
    // The caption as the window system gets it ("[*]" made "*" or nothing).
    QString Title()
    {
        Frame().winId();
        return Frame().windowHandle()->title();
    }
    CQpgDoc& Doc() { return app->Doc(); }
    QString Stored(const char* key)
    {
        store->Sync();
        return QSettings(Ini(), QSettings::IniFormat).value(key).toString();
    }
    // A project file with the demo device and a physical range, saved at `name`.
    std::string Project(const std::string& name, bool autoload = false, const std::string& program = {})
    {
        CTempDir imageDir(true);
        CQpgDoc doc;
        doc.memoryType = kDevice;
        doc.physicalRange = CMemoryRange(0, 0x10000, 1);
        doc.autoload = autoload;
        doc.loadFileName = program;
        const std::string path = dir.File(name);
        CScriptedMessageBox quiet;
        EXPECT_TRUE(doc.Save(path, quiet));
        return path;
    }

    CTempDir dir;
    CScriptedMessageBox box;
    CScriptedFileChooser chooser;
    std::unique_ptr<CQtSettingsStore> store;
    std::unique_ptr<CQpgApp> app;
};
