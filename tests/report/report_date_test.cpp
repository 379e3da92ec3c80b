#include "common/settings.h"
#include "support/map_settings_store.h"
#include "report/report_date.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using SIntl = CReportDate::SIntl;

TEST(ReportDate, FieldsFollowTheOrderAndThePattern)
{
    struct SCase {
        SIntl intl;
        int year, month, day;
        const char* text;
    } cases[] = {
        {{0, ".", "MM.d.yy"}, 2026, 12, 6, " / 12.6.26"}, // the defaults
        {{0, ".", "MM.d.yy"}, 2005, 12, 6, " / 12.6.05"},
        {{0, ".", "MM.d.yy"}, 2026, 3, 6, " / 03.6.26"},
        {{0, "/", "M/d/yyyy"}, 2026, 3, 6, " / 3/6/2026"},
        {{0, "/", "MM/dd/yy"}, 2026, 3, 6, " / 03/06/26"},
        {{1, ".", "dd.MM.yy"}, 2026, 12, 6, " / 06.12.26"},
        {{1, ".", "d.M.yyyy"}, 2026, 12, 6, " / 6.12.2026"},
        {{1, ".", "d.M.yyyy"}, 2026, 3, 6, " / 6.3.2026"},
        {{2, "-", "yyyy-MM-dd"}, 2026, 3, 6, " / 2026-03-06"},
        {{2, "-", "yy-M-d"}, 2026, 3, 6, " / 26-3-6"},
        {{2, "-", "yy-M-d"}, 2005, 3, 6, " / 05-3-6"},
        // A pattern without a letter pads every field and keeps the full year.
        {{1, ".", ""}, 2026, 3, 6, " / 06.03.2026"},
        {{3, ".", "dd.MM.yy"}, 2026, 3, 6, ""},
        {{-1, ".", "dd.MM.yy"}, 2026, 3, 6, ""},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(CReportDate::DateText(c.intl, c.year, c.month, c.day), c.text) << c.intl.pattern;
}

TEST(ReportDate, RegionalValuesFromALocalePattern)
{
    struct SCase {
        const char* pattern;
        bool strftime;
        SIntl intl;
    } cases[] = {
        {"dd.MM.yy", false, {1, ".", "dd.MM.yy"}},
        {"M/d/yy", false, {0, "/", "M/d/yy"}},
        {"yyyy-MM-dd", false, {2, "-", "yyyy-MM-dd"}},
        {"d/M/yyyy", false, {1, "/", "d/M/yyyy"}},
        {"dd MMM", false, {0, ".", "MM.d.yy"}}, // no year: the defaults
        {"%m/%d/%y", true, {0, "/", "MM/dd/yy"}},
        {"%d.%m.%Y", true, {1, ".", "dd.MM.yyyy"}},
        {"%e.%m.%Y", true, {1, ".", "d.MM.yyyy"}},
        {"%F", true, {2, "-", "yyyy-MM-dd"}},
    };
    for (const SCase& c : cases) {
        const SIntl intl = c.strftime ? CReportDate::FromStrftime(c.pattern) : CReportDate::FromPattern(c.pattern);
        EXPECT_EQ(intl, c.intl) << c.pattern;
    }
}

TEST(ReportDate, SettingsOverrideTheSystemValueByValue)
{
    const SIntl system{1, "/", "dd/MM/yyyy"};
    CMapSettingsStore store;
    const auto noEnvironment = [](const char*) -> const char* { return nullptr; };
    EXPECT_EQ(CReportDate::FromSettings(CSettings(&store, noEnvironment), system), system);

    store.Write("intl", "sDate", "-");
    store.Write("intl", "iDate", "2");
    EXPECT_EQ(CReportDate::FromSettings(CSettings(&store, noEnvironment), system), (SIntl{2, "-", "dd/MM/yyyy"}));

    const auto environment = [](const char* name) -> const char* {
        return std::string(name) == "TARVEL_INTL_SSHORTDATE" ? "yy-MM-dd" : nullptr;
    };
    const SIntl intl = CReportDate::FromSettings(CSettings(&store, environment), system);
    EXPECT_EQ(intl, (SIntl{2, "-", "yy-MM-dd"}));
    EXPECT_EQ(CReportDate::DateText(intl, 2026, 12, 6), " / 26-12-06");
}

} // namespace
