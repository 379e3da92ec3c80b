#pragma once

#include "gui/widgets/file_chooser.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>

// A file chooser that answers from a script and records what it was asked.
class CScriptedFileChooser final : public CFileChooser {
public:
    std::optional<std::string> ChooseOpen(QWidget*, const std::string& filter, const std::string& initial) override
    {
        return Next("open", filter, initial);
    }
    std::optional<std::string> ChooseSave(QWidget*, const std::string& filter, const std::string& initial,
                                          bool confirmReplace) override
    {
        return Next(confirmReplace ? "save-confirmed" : "save", filter, initial);
    }

    std::deque<std::optional<std::string>> answers;
    std::vector<std::string> asked; // "open|filter|initial"

private:
    std::optional<std::string> Next(const char* kind, const std::string& filter, const std::string& initial)
    {
        asked.push_back(std::string(kind) + "|" + filter + "|" + initial);
        if (answers.empty())
            return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
};

template <class T> T* Child(QWidget* window, const char* name)
{
    T* child = window ? window->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    EXPECT_NE(child, nullptr) << "no control " << name;
    return child;
}

// Types `text` into the edit as a person does: select what is there, then key by key.
inline void Type(QWidget* window, const char* name, const QString& text)
{
    auto* edit = Child<QLineEdit>(window, name);
    if (!edit)
        return;
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
}

// Triggers a menu or toolbar command as a person can: only when it is
// enabled. A missing or greyed command fails the test instead of passing
// without anything having run.
inline void TriggerAction(QAction* action)
{
    if (!action) {
        ADD_FAILURE() << "no such action";
        return;
    }
    if (!action->isEnabled()) {
        ADD_FAILURE() << "the action " << action->text().toStdString() << " is greyed";
        return;
    }
    action->trigger();
}

inline void Click(QWidget* window, const char* name)
{
    auto* button = Child<QAbstractButton>(window, name);
    if (button)
        QTest::mouseClick(button, Qt::LeftButton);
}

inline QString Text(QWidget* window, const char* name)
{
    if (auto* edit = window->findChild<QLineEdit*>(QString::fromLatin1(name)))
        return edit->text();
    if (auto* label = window->findChild<QLabel*>(QString::fromLatin1(name)))
        return label->text();
    ADD_FAILURE() << "no text control " << name;
    return {};
}

// Shows a dialog that a test drives directly (not through exec).
inline void ShowForTest(QWidget* dialog)
{
    dialog->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
}

// Runs `work` on the modal window that the next call opens (exec blocks the
// test until it closes). A window still open 10 s after `work` is closed and
// the test fails, so a broken dialog cannot hang the run.
inline void WhenModal(std::function<void(QWidget*)> work)
{
    QTimer::singleShot(0, [work] {
        QWidget* window = nullptr;
        (void)QTest::qWaitFor([&] { return (window = QApplication::activeModalWidget()) != nullptr; }, 5000);
        if (!window) {
            ADD_FAILURE() << "no modal window came up";
            return;
        }
        work(window);
        QPointer<QWidget> guard(window);
        QTimer::singleShot(10000, [guard] {
            if (guard && guard->isVisible()) {
                ADD_FAILURE() << "the window did not close: " << guard->objectName().toStdString();
                guard->close();
            }
        });
    });
}
