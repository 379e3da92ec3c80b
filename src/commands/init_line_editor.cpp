#include "commands/init_line_editor.h"

#include "common/message_box.h"
#include "common/text_format.h"

#include <cerrno>
#include <cstdlib>

CInitLineEditor::SLayout CInitLineEditor::LayoutOf(int code)
{
    switch (code) {
    case CCodeItem::Delay:
        return {false, false, true, false, "<not used>", "Delay"};
    case CCodeItem::Wgpr:
        return {false, true, false, true, "Register", "Value"};
    case CCodeItem::Wcpsr:
        return {false, true, false, false, "<not used>", "Value"};
    case CCodeItem::Mmap:
        return {true, true, false, false, "Start Addr", "End Addr"};
    case CCodeItem::Rm8:
    case CCodeItem::Rm16:
    case CCodeItem::Rm32:
        return {true, false, false, false, "Address", "<not used>"};
    case CCodeItem::Exec:
        return {true, false, true, false, "Start Address", "Run Time"};
    case CCodeItem::Loop:
        return {true, true, false, false, "Increment", "Loop Count"};
    default: // NOP, WM8, WM16, WM32, WCP15
        return {true, true, false, false, "Address", "Value"};
    }
}

int CInitLineEditor::ValueDigits(int code)
{
    return code == CCodeItem::Wm8 ? 2 : code == CCodeItem::Wm16 ? 4 : 8;
}

CInitLineEditor::CInitLineEditor(const CCodeItem& item)
{
    item.GetFields(readCode_, address_, value_, comment_);
    code = readCode_;
    comment = comment_;
    Show();
}

void CInitLineEditor::Show()
{
    addressField.SetDigits(AddressDigits(code));
    addressField.SetValue(address_);
    valueField.SetDigits(ValueDigits(code));
    valueField.SetValue(value_);
    if (code == CCodeItem::Wgpr)
        register_ = address_;
    if (code == CCodeItem::Delay || code == CCodeItem::Exec)
        ms_ = value_;
    msText = std::to_string(ms_);
    registerText = std::to_string(register_);
}

bool CInitLineEditor::ReadDecimal(const std::string& text, uint32_t& value)
{
    // Digits only, as the field lets through; blanks around them are allowed.
    size_t begin = text.find_first_not_of(' ');
    size_t end = text.find_last_not_of(' ');
    if (begin == std::string::npos)
        return false;
    const std::string digits = text.substr(begin, end - begin + 1);
    if (digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long long n = std::strtoull(digits.c_str(), nullptr, 10);
    if (errno == ERANGE || n > UINT32_MAX)
        return false;
    value = static_cast<uint32_t>(n);
    return true;
}

bool CInitLineEditor::Read(CMessageBox& box)
{
    return Read(box, true);
}

bool CInitLineEditor::Read(CMessageBox& box, bool confirming)
{
    if (comment.size() > kMaxCommentChars) {
        box.Show(Format("Please enter no more than %zu characters.", kMaxCommentChars), "", EMsgIcon::Exclamation,
                 EMsgButtons::Ok);
        return false;
    }
    uint32_t ms = 0;
    uint32_t reg = 0;
    if (!ReadDecimal(msText, ms) || !ReadDecimal(registerText, reg)) {
        box.Show("Please enter a positive integer.", "", EMsgIcon::Exclamation, EMsgButtons::Ok);
        return false;
    }
    readCode_ = code;
    comment_ = comment;
    ms_ = ms;
    register_ = reg;
    // On the way through the types the numbers are carried as entered: a
    // field that still shows the digits of the kept number gives the whole
    // number back, not only the digits a narrower type showed. OK takes what
    // the chosen type shows, masked to its digits, and keeps the time below
    // 30000 ms.
    const auto carried = [confirming](const CHexField& field, uint32_t kept) {
        const uint32_t shown = field.Value();
        return !confirming && shown == CHexField::Mask(kept, field.Digits()) ? kept : shown;
    };
    address_ = code == CCodeItem::Wgpr ? reg : carried(addressField, address_);
    if (code == CCodeItem::Delay || code == CCodeItem::Exec)
        value_ = confirming ? ms % kMsModulus : ms;
    else
        value_ = carried(valueField, value_);
    return true;
}

void CInitLineEditor::ChangeType(int newCode, CMessageBox& box)
{
    // The fields are read with the meaning they were shown with (the old
    // type), so that stepping through the types carries the address and
    // value along instead of picking up an unused field on the way.
    const bool read = Read(box, false);
    code = newCode;
    if (read) {
        readCode_ = code;
        Show();
    } else {
        addressField.SetDigits(AddressDigits(code));
        valueField.SetDigits(ValueDigits(code));
    }
}
