#pragma once

// The month view's rules without painting: the classic Unix calendar (Julian leap years
// up to 1752, Gregorian after, and the eleven days September 1752 lost), the 6 × 7 grid of
// a month, the selected day with its moves, and the mapping of a point to a day. The
// calendar widget paints this and forwards its clicks and keys.
//
// Thread: a plain value; any thread.

#include <array>
#include <string>

namespace orvanta {

/// Days of a month and weekdays, by the rules above.
namespace calendar {
bool isLeapYear(int year);
/// 1-12; 28 to 31. September 1752 counts 30 (its highest day shown).
int daysInMonth(int month, int year);
/// 0 Sunday ... 6 Saturday.
int dayOfWeek(int day, int month, int year);
/// 1-366.
int dayOfYear(int day, int month, int year);
} // namespace calendar

/// Where the grid lies in the widget: the day cells start at left, bottom is the lower edge
/// of the last row, and rows are cellHeight + 1 apart (y grows upwards, as the rules have it).
struct CalendarGeometry
{
    double left = 0;
    double bottom = 0;
    double cellWidth = 17;
    double cellHeight = 14;
};

class CalendarMonth
{
public:
    static constexpr int kRows = 6;
    static constexpr int kColumns = 7;
    static constexpr int kEmpty = -1;

    CalendarMonth(int year, int month, int day);

    int year() const { return m_year; }
    int month() const { return m_month; }
    int day() const { return m_day; }
    int daysInMonth() const { return m_daysInMonth; }

    /// The day number of a cell (row 0 at the top, column 0 Sunday), or kEmpty.
    int cell(int row, int column) const { return m_days[row * kColumns + column]; }
    /// The row and column of a day of the shown month; false when it is not shown.
    bool cellOfDay(int day, int& row, int& column) const;

    // Each returns whether the selected date changed (the widget then tells its owner).
    /// Another date; the grid follows its month.
    bool setDate(int year, int month, int day);
    /// A day of the shown month; days outside 1 ... daysInMonth are ignored.
    bool setDay(int day);
    /// 1-12 (others ignored); the day is kept, clamped to the new month.
    bool setMonth(int month);
    /// The same month of another year, the day clamped.
    bool setYear(int year);
    /// A click or drag onto a day: days below 1 and the selected day change nothing.
    bool dayChange(int day);
    /// The selected day moved by days (arrow keys), across months and years.
    bool moveBy(int days);

    int dayInWeek(int day) const { return calendar::dayOfWeek(day, m_month, m_year); }
    int dayInYear(int day) const { return calendar::dayOfYear(day, m_month, m_year); }

    /// The day under point (x right, y up from the bottom), or kEmpty.
    int dayAtPoint(double x, double y, const CalendarGeometry& geometry) const;

    /// The grid as text, one row per line.
    std::string description() const;

private:
    void setupDayArray();

    int m_year;
    int m_month;
    int m_day;
    int m_daysInMonth = 31;
    std::array<int, kRows * kColumns> m_days{};
};

} // namespace orvanta
