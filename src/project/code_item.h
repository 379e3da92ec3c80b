#pragma once

#include "project/archive.h"

#include <cstdint>
#include <string>
#include <string_view>

// One init list entry: a target access (memory write or read, register write,
// delay, loop, ...) that prepares the board. Its whole state is one string, the
// entry text "MNEMONIC\tAAAAAAAA\tVVVVVVVV\tcomment" (address and value as 8
// upper-case hexadecimal digits); the typed fields are parsed from it on every
// read and every change rewrites it.
//
// Three text forms:
//   entry text    what is stored (GetText, the project file).
//   display line  four tab-separated columns Type, Address, Value, Comment,
//                 formatted by action type; an unused column is empty
//                 (GetDisplayLine; the editor, clipboard, report and export).
//   line parse    a display line or pasted line back into an entry: the
//                 lenient constructor from a line (the editor's rules), or the
//                 strict ParseLine that names what is wrong (file import).
class CCodeItem {
public:
    // Action type codes: the position in the table of mnemonics.
    enum EAction : int {
        Nop = 0,
        Delay = 1,
        Wm8 = 2,
        Wm16 = 3,
        Wm32 = 4,
        Wgpr = 5,
        Wcpsr = 6,
        Wcp15 = 7,
        Mmap = 8,
        Rm8 = 9,
        Rm16 = 10,
        Rm32 = 11,
        Exec = 12,
        Loop = 13,
    };
    static constexpr int kActionCount = 14;
    static constexpr size_t kMaxComment = 100; // characters an entry keeps when built or changed
    static constexpr size_t kMaxColumn = 255;  // characters of one column of a parsed line
    static constexpr uint32_t kMaxDelayMs = 29999; // the longest DELAY or EXEC time the editor keeps
    static const CArchive::CClassInfo kClass;  // "CCodeItem", schema 0

    // The mnemonic ("NOP" .. "LOOP") and the editor's text ("NOP" .. "Loop") of
    // a code; nullptr outside 0..13.
    static const char* GetMnemonic(int code);
    static const char* GetEditorText(int code);
    // The code of a mnemonic (exact, upper case), or -1.
    static int FindMnemonic(std::string_view mnemonic);

    // An entry with empty text (what the project file reader fills).
    CCodeItem() = default;
    // An entry from its fields; the comment is cut to 100 characters.
    CCodeItem(int code, uint32_t address, uint32_t value, std::string_view comment);
    // The line parse: columns split at tabs (a fifth and later ones ignored),
    // each cut to 255 characters; the mnemonic compared in upper case, an
    // unknown one replaced by "NOP"; address and value read with base
    // detection ("0x" hexadecimal, leading 0 octal, else decimal; empty or
    // unreadable: 0, more than 32 bits: the low 32); the comment kept as it is.
    explicit CCodeItem(std::string_view line);

    // The field parse of the entry text. An unknown mnemonic gives code 4
    // (WM32); an address or value that cannot be read gives 0.
    void GetFields(int& code, uint32_t& address, uint32_t& value, std::string& comment) const;
    // Rewrites the entry text. The comment is cut to 100 characters, and tabs
    // and line breaks in it become spaces (they would split the entry's
    // columns or lines). A code outside 0..13 is stored as "NOP".
    void SetFields(int code, uint32_t address, uint32_t value, std::string_view comment);

    std::string GetDisplayLine() const;

    // The strict line parse for imported text: like the line parse, but a line
    // with more than four columns, a column over 255 characters, an unknown
    // mnemonic, a number that is not a whole unsigned 32-bit number, a DELAY
    // or EXEC time above kMaxDelayMs or a comment over 100 characters is refused: false, `reason` says why, and
    // `item` is unchanged.
    static bool ParseLine(std::string_view line, CCodeItem& item, std::string& reason);

    const std::string& GetText() const { return text; }
    void SetText(std::string entryText) { text = std::move(entryText); }

    // The entry text as one archive string.
    void Serialize(CArchive& ar);

    bool operator==(const CCodeItem&) const = default;

private:
    std::string text;
};
