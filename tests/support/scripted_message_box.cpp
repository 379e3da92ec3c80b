#include "support/scripted_message_box.h"

#include <gtest/gtest.h>

EMsgResult CScriptedMessageBox::Show(const std::string& text, const std::string& caption,
                                     EMsgIcon icon, EMsgButtons buttons)
{
    shown.push_back({text, caption, icon, buttons, {}});
    if (buttons == EMsgButtons::Ok)
        return EMsgResult::Ok;
    if (answers_.empty()) {
        ++unexpectedQuestions;
        ADD_FAILURE() << "unscripted question: " << text;
        const bool yesNo = buttons == EMsgButtons::YesNo || buttons == EMsgButtons::YesNoDefaultNo;
        return yesNo ? EMsgResult::No : EMsgResult::Cancel;
    }
    EMsgResult r = answers_.front();
    answers_.pop_front();
    return r;
}

EMsgResult CScriptedMessageBox::ShowDetailed(const std::string& text, const std::string& caption, EMsgIcon icon,
                                             EMsgButtons buttons, const std::string& details)
{
    const EMsgResult result = Show(text, caption, icon, buttons);
    shown.back().details = details;
    return result;
}
