#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class CQpgApp;
class QWidget;

// Shows the main window, its menus and every dialog and message in turn and
// saves a PNG of each into a folder, so that the program can be looked at as
// a person sees it. Ends the program when done.
class CScreenshotTour : public QObject {
    Q_OBJECT
public:
    CScreenshotTour(CQpgApp& app, const QString& folder);

    void Start();
    bool Failed() const { return failed_; }

private:
    struct SStep {
        QString name;
        // Opens the window; for a modal one it returns when the window has closed.
        std::function<void()> open;
        // Works the window before it is saved (types, clicks).
        std::function<void(QWidget*)> work;
        bool modal = true;
    };

    void Add(const QString& name, std::function<void()> open, std::function<void(QWidget*)> work = {},
             bool modal = true);
    // The Dump, Erase, Program and Verify dialogs at rest, half-way, done and failed.
    void AddTargetSteps();
    void Next();
    void Save(QWidget* widget, const QString& name);
    // Saves the modal window that comes up next (a question inside a dialog) and answers it with Escape.
    void CatchNextBox(const QString& name);
    // Works the modal window that comes up next (a dialog opened from a
    // dialog) with `work`, saves it under `name` unless that is empty, and
    // closes it.
    void CatchNextWindow(const QString& name, std::function<void(QWidget*)> work);
    // The Setup menu's dialogs, their inner dialogs and messages.
    void AddSetupSteps();
    // Saves `dialog` once its operation is part-way (the bar between 20 and 85, a rate shown).
    void SaveHalfWay(QWidget* dialog, const QString& name);
    // Saves the message box that comes up while an operation runs, and answers it.
    void CatchBoxWhenUp(const QString& name);

    CQpgApp& app_;
    QString folder_;
    std::vector<SStep> steps_;
    size_t index_ = 0;
    bool failed_ = false;
    bool caught_ = false; // the running step saved a window it opened
};
