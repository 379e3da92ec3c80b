#pragma once

#include <string>

// How core code asks the person something or tells them something. Each front
// end implements it: the desktop program with a modal box, the command line by
// printing and answering questions from --yes / --no, tests with a scripted fake.

inline constexpr const char* kAppTitle = "Tarvel for ARM (QDX7000)";

enum class EMsgIcon { None, Stop, Exclamation, Question, Information };
// YesNoDefaultNo: a Yes/No question whose safe answer, No, is the default button.
enum class EMsgButtons { Ok, YesNo, OkCancel, YesNoCancel, YesNoDefaultNo };
enum class EMsgResult { Ok, Yes, No, Cancel };

class CMessageBox {
public:
    virtual ~CMessageBox() = default;
    // Shows `text` under `caption` (empty: the application title) and returns
    // the button pressed. A box with only OK always answers Ok.
    virtual EMsgResult Show(const std::string& text, const std::string& caption,
                            EMsgIcon icon, EMsgButtons buttons) = 0;
    // Like Show, with `details` the person can unfold under the text (what a
    // failure found, at length). A box without room for details shows the
    // text alone; empty details are the plain box.
    virtual EMsgResult ShowDetailed(const std::string& text, const std::string& caption, EMsgIcon icon,
                                    EMsgButtons buttons, const std::string& details)
    {
        (void)details;
        return Show(text, caption, icon, buttons);
    }
};
