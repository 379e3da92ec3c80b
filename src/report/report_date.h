#pragma once

#include <string>
#include <string_view>

class CSettings;

// The date text at the end of the report's footer: " / " and the date in the
// regional short date form, built from three regional values: the order of
// the fields (iDate), the separator (sDate) and the short date pattern
// (sShortDate), whose letters decide which fields are padded to two digits
// and whether the year has two digits or four.
class CReportDate {
public:
    struct SIntl {
        long order = 0;              // 0 month-day-year, 1 day-month-year, 2 year-month-day
        std::string separator = "."; // between the fields
        std::string pattern = "MM.d.yy";
        bool operator==(const SIntl&) const = default;
    };

    // " / " and the three fields joined by the separator; empty for an order
    // other than 0, 1, 2.
    static std::string DateText(const SIntl& intl, int year, int month, int day);

    // The regional values a short date pattern implies: the order of its
    // first d, M and y, the first character between two fields as the
    // separator, and the pattern itself. Patterns use d, dd, M, MM, yy, yyyy;
    // one without all three fields gives the defaults.
    static SIntl FromPattern(std::string_view pattern);
    // The same for a C library date format ("%d.%m.%Y", "%m/%d/%y"; %e is an
    // unpadded day).
    static SIntl FromStrftime(std::string_view format);
    // Each value from the settings where it is set ("intl" group: iDate,
    // sDate, sShortDate, or their environment variables), else from `system`.
    static SIntl FromSettings(const CSettings& settings, const SIntl& system);
    // The short date form of the system's locale (LC_TIME, LC_ALL or LANG),
    // from the C library: the one rule both programs follow, so that the
    // desktop and the command line print the same date on one machine.
    static SIntl SystemForm();
    // FromSettings over SystemForm: the date form of a report.
    static SIntl ReportForm(const CSettings& settings) { return FromSettings(settings, SystemForm()); }

    // The date text of today's local date.
    static std::string Today(const SIntl& intl);
};
