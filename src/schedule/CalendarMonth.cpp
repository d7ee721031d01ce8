#include "CalendarMonth.h"

#include <algorithm>
#include <cmath>

namespace orvanta {

namespace {

constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
// Day counts since year 1 where the Julian calendar ends (2 September 1752) and the
// Gregorian begins (14 September 1752); the days between never were.
constexpr long kLastJulianDay = 639799;
constexpr long kFirstGregorianDay = 639810;
constexpr int kLostDays = 11;

bool isSeptember1752(int month, int year)
{
    return year == 1752 && month == 9;
}

} // namespace

namespace calendar {

bool isLeapYear(int year)
{
    if (year <= 1752)
        return year % 4 == 0;
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int month, int year)
{
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && isLeapYear(year) ? 29 : kMonthDays[month - 1];
}

int dayOfYear(int day, int month, int year)
{
    int total = day;
    for (int earlier = 1; earlier < month && earlier <= 12; ++earlier)
        total += daysInMonth(earlier, year);
    return total;
}

int dayOfWeek(int day, int month, int year)
{
    const long p = year - 1;
    const long leapDays = p / 4 - (p > 1700 ? p / 100 - 17 : 0) + (p > 1600 ? (p - 1600) / 400 : 0);
    const long t = p * 365 + leapDays + dayOfYear(day, month, year);
    if (t < kLastJulianDay)
        return static_cast<int>((t - 1 + 6) % 7);
    if (t >= kFirstGregorianDay)
        return static_cast<int>((t - 1 + 6 - kLostDays) % 7);
    return 4; // the days that never were read as Thursday, the day of 14 September
}

} // namespace calendar

CalendarMonth::CalendarMonth(int year, int month, int day)
    : m_year(year), m_month(std::clamp(month, 1, 12)), m_day(1)
{
    m_day = std::clamp(day, 1, calendar::daysInMonth(m_month, m_year));
    setupDayArray();
}

void CalendarMonth::setupDayArray()
{
    m_days.fill(kEmpty);
    m_daysInMonth = calendar::daysInMonth(m_month, m_year);
    if (isSeptember1752(m_month, m_year)) {
        // 1 and 2 on Tuesday and Wednesday, then 14 on Thursday.
        int index = 2;
        for (int day : {1, 2})
            m_days[index++] = day;
        for (int day = 14; day <= 30; ++day)
            m_days[index++] = day;
        return;
    }
    const int first = calendar::dayOfWeek(1, m_month, m_year);
    for (int day = 1; day <= m_daysInMonth; ++day)
        m_days[first + day - 1] = day;
}

bool CalendarMonth::cellOfDay(int day, int& row, int& column) const
{
    for (int index = 0; index < kRows * kColumns; ++index) {
        if (m_days[index] == day && day != kEmpty) {
            row = index / kColumns;
            column = index % kColumns;
            return true;
        }
    }
    return false;
}

bool CalendarMonth::setDate(int year, int month, int day)
{
    if (month < 1 || month > 12 || day < 1 || day > calendar::daysInMonth(month, year))
        return false;
    if (isSeptember1752(month, year) && day > 2 && day < 14)
        return false; // days that never were
    if (year == m_year && month == m_month && day == m_day)
        return false;
    m_year = year;
    m_month = month;
    m_day = day;
    setupDayArray();
    return true;
}

bool CalendarMonth::setDay(int day)
{
    if (day < 1 || day > m_daysInMonth)
        return false;
    return setDate(m_year, m_month, day);
}

bool CalendarMonth::setMonth(int month)
{
    if (month < 1 || month > 12)
        return false;
    return setDate(m_year, month, std::clamp(m_day, 1, calendar::daysInMonth(month, m_year)));
}

bool CalendarMonth::setYear(int year)
{
    return setDate(year, m_month, std::clamp(m_day, 1, calendar::daysInMonth(m_month, year)));
}

bool CalendarMonth::dayChange(int day)
{
    if (day < 1 || day == m_day)
        return false;
    return setDay(day);
}

bool CalendarMonth::moveBy(int days)
{
    int year = m_year;
    int month = m_month;
    int day = m_day + days;
    while (day < 1) {
        if (--month < 1) {
            month = 12;
            --year;
        }
        day += calendar::daysInMonth(month, year);
    }
    while (day > calendar::daysInMonth(month, year)) {
        day -= calendar::daysInMonth(month, year);
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
    // The days September 1752 never had are stepped over.
    if (isSeptember1752(month, year) && day > 2 && day < 14)
        day = days < 0 ? 2 : 14;
    return setDate(year, month, day);
}

int CalendarMonth::dayAtPoint(double x, double y, const CalendarGeometry& geometry) const
{
    if (x < geometry.left || y < geometry.bottom)
        return kEmpty;
    const int column = static_cast<int>(std::floor((x - geometry.left) / geometry.cellWidth));
    const int row =
        5 - static_cast<int>(std::floor((y - geometry.bottom) / (geometry.cellHeight + 1)));
    if (column > 6 || row < 0 || row > 5)
        return kEmpty;
    return cell(row, column);
}

std::string CalendarMonth::description() const
{
    std::string text;
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const int day = cell(row, column);
            const std::string number = day == kEmpty ? "" : std::to_string(day);
            text += std::string(3 - number.size(), ' ') + number;
        }
        text += '\n';
    }
    return text;
}

} // namespace orvanta
