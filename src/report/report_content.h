#pragma once

#include <optional>
#include <string>
#include <vector>

class CQpgDoc;

// What the setup report says, as texts, taken from the project at one moment:
// the layout draws these, so that every page of one print run shows the
// project as it was when the run began, whichever order the pages are asked
// for in. Built from a document, or field by field in tests.
class CReportContent {
public:
    // One line of the sections Load to Verify and Communication: the bold
    // title, the second column's and the third column's text.
    struct SRow {
        std::string title;
        std::string second;
        std::string third;
    };
    // An init list: its title and the display line of every entry in order;
    // an empty slot is kept (it is skipped without a line) so that a page can
    // continue at the entry after the last one printed.
    struct SList {
        std::string title;
        std::vector<std::optional<std::string>> entries;
    };
    // A line of the "Target Memory Setup" section: label and value.
    struct SSetupLine {
        std::string label;
        std::string value;
    };

    CReportContent() = default;
    // The report of `doc`. `documentTitle` is the project's title as the main
    // window shows it (its file name, or "Untitled"); `dateText` the footer's
    // date text (see CReportDate).
    CReportContent(const CQpgDoc& doc, std::string documentTitle, std::string dateText);

    // "0x%08lX...0x%08lX" with the first and the last address of a range of
    // `size` bytes at `start` (an empty range prints 0 as its last address).
    static std::string RangeText(uint32_t start, uint32_t size);
    // "BYTE", "WORD" or "LONG" for a unit of 0, 1, 2.
    static std::string UnitText(int unit);
    static std::string JtagClockText(uint32_t code);
    static std::string CpuTypeText(uint32_t code);

    std::string headerLeft;
    std::string headerRight;
    std::string setupTitle;
    std::string comment;
    // "Load" to "Verify": seven rows in that order.
    std::vector<SRow> operations;
    // The erase section: whether the device can be erased by sectors, and then
    // the selected sectors as "bank/sector"; otherwise the list reads "no erase".
    bool erasable = false;
    std::vector<std::string> eraseSectors;
    SRow communication;
    std::vector<SSetupLine> memorySetup;
    // The five init lists, main list first.
    std::vector<SList> lists;
    std::string documentTitle;
    std::string dateText;
};
