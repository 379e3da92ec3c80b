#include "report/report_date.h"

#include "common/settings.h"
#include "common/text_format.h"

#include <algorithm>
#include <ctime>

#include <langinfo.h>
#include <locale.h>

namespace {

// Position of the first `c` in the pattern, or -1.
long Find(std::string_view pattern, char c)
{
    const size_t at = pattern.find(c);
    return at == std::string_view::npos ? -1 : static_cast<long>(at);
}

std::string Number(int value, bool unpadded)
{
    return Format(unpadded ? "%d" : "%02d", value);
}

} // namespace

std::string CReportDate::DateText(const SIntl& intl, int year, int month, int day)
{
    const std::string_view p = intl.pattern;
    const long d = Find(p, 'd');
    const long m = Find(p, 'M');
    const long y = Find(p, 'y');
    // "exactly 2 positions after": both letters must be in the pattern.
    const auto twoAfter = [](long later, long earlier) { return later >= 0 && earlier >= 0 && later == earlier + 2; };
    const bool shortYear = y >= 0 && static_cast<long>(p.size()) - y == 2;
    const std::string yearText = shortYear ? Format("%02d", ((year % 100) + 100) % 100) : Format("%d", year);
    std::string a, b, c;
    switch (intl.order) {
    case 0:
        a = Number(month, d == 2);
        b = Number(day, twoAfter(y, d));
        c = yearText;
        break;
    case 1:
        a = Number(day, m == 2);
        b = Number(month, twoAfter(y, m));
        c = yearText;
        break;
    case 2:
        a = m == 3 ? Format("%02d", ((year % 100) + 100) % 100) : Format("%d", year);
        b = Number(month, twoAfter(d, m));
        c = Number(day, d >= 0 && d == static_cast<long>(p.size()) - 1);
        break;
    default:
        return {};
    }
    return " / " + a + intl.separator + b + intl.separator + c;
}

CReportDate::SIntl CReportDate::FromPattern(std::string_view pattern)
{
    const long d = Find(pattern, 'd');
    const long m = Find(pattern, 'M');
    const long y = Find(pattern, 'y');
    if (d < 0 || m < 0 || y < 0)
        return {};
    SIntl intl;
    intl.order = (d < m && m < y) ? 1 : (y < m && m < d) ? 2 : 0;
    intl.pattern = std::string(pattern);
    const long first = std::min({d, m, y});
    size_t end = static_cast<size_t>(first);
    while (end < pattern.size() && pattern[end] == pattern[first])
        ++end;
    if (end < pattern.size())
        intl.separator = std::string(1, pattern[end]);
    return intl;
}

CReportDate::SIntl CReportDate::FromStrftime(std::string_view format)
{
    std::string pattern;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            pattern += format[i];
            continue;
        }
        switch (format[++i]) {
        case 'd': pattern += "dd"; break;
        case 'e': pattern += "d"; break;
        case 'm': pattern += "MM"; break;
        case 'y': pattern += "yy"; break;
        case 'Y': pattern += "yyyy"; break;
        case 'D': pattern += "MM/dd/yy"; break;
        case 'F': pattern += "yyyy-MM-dd"; break;
        default: pattern += format[i]; break;
        }
    }
    return FromPattern(pattern);
}

CReportDate::SIntl CReportDate::FromSettings(const CSettings& settings, const SIntl& system)
{
    SIntl intl = system;
    const std::string order = settings.Get(ESetting::DateOrder);
    if (!order.empty())
        intl.order = settings.GetInt(ESetting::DateOrder, 0);
    const std::string separator = settings.Get(ESetting::DateSeparator);
    if (!separator.empty())
        intl.separator = separator;
    const std::string pattern = settings.Get(ESetting::ShortDatePattern);
    if (!pattern.empty())
        intl.pattern = pattern;
    return intl;
}

std::string CReportDate::Today(const SIntl& intl)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return DateText(intl, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

CReportDate::SIntl CReportDate::SystemForm()
{
    locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (!locale)
        locale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    SIntl intl;
    if (locale) {
        intl = FromStrftime(nl_langinfo_l(D_FMT, locale));
        freelocale(locale);
    }
    return intl;
}
