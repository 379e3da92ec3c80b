#pragma once

#include "common/hex_field.h"
#include "project/code_item.h"

#include <cstdint>
#include <string>

class CMessageBox;

// The "Edit Init Line" dialog's rules: one init list entry edited in fields
// whose meaning follows the action type. The address and value fields are
// hexadecimal fields whose digit counts change with the type; the ms field
// (DELAY, EXEC) and the register field (WGPR) are decimal. The view binds
// its controls to the public fields and asks Layout() what is enabled and
// what the labels say.
class CInitLineEditor {
public:
    static constexpr size_t kMaxCommentChars = 256;
    static constexpr uint32_t kMsModulus = 30000;

    struct SLayout {
        bool address;
        bool value;
        bool ms;
        bool reg;
        const char* addressLabel;
        const char* valueLabel;
    };
    static SLayout LayoutOf(int code);
    static int AddressDigits(int code) { return code == CCodeItem::Wcp15 ? 4 : 8; }
    static int ValueDigits(int code);

    // Filling the dialog from an entry's fields.
    explicit CInitLineEditor(const CCodeItem& item);

    SLayout Layout() const { return LayoutOf(code); }

    // Reading the dialog (OK): action type, comment (at most 256
    // characters), the ms and register fields as unsigned decimal numbers,
    // then address and value by the type. The first failure shows its
    // message and answers false (the dialog stays open).
    bool Read(CMessageBox& box);
    // A new "Action Type": reads the fields as the old type showed them,
    // then shows address and value again with the digit counts of the new
    // type (masked to them), the register number of WGPR and the time of
    // DELAY and EXEC in their decimal fields. The numbers are carried whole:
    // a field whose shown digits are unchanged stands for the number as it
    // was entered, and a time is not yet kept below 30000 ms; only OK masks
    // to what the chosen type shows. So stepping through the types with the
    // keyboard or the wheel loses neither address nor value. A failed
    // reading keeps the fields as typed.
    void ChangeType(int newCode, CMessageBox& box);

    // The entry of the last successful reading.
    CCodeItem Item() const { return CCodeItem(readCode_, address_, value_, comment_); }

    // ---- Controls ------------------------------------------------------------
    int code = 0; // "Action Type" position
    CHexField addressField{8};
    CHexField valueField{8};
    std::string msText = "0";
    std::string registerText = "0";
    std::string comment;

private:
    void Show();
    bool Read(CMessageBox& box, bool confirming);
    static bool ReadDecimal(const std::string& text, uint32_t& value);

    int readCode_ = 0;
    uint32_t address_ = 0;
    uint32_t value_ = 0;
    uint32_t ms_ = 0;
    uint32_t register_ = 0;
    std::string comment_;
};
