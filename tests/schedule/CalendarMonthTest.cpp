// The month view's rules: leap years on both sides of 1752, the grid, the selected day's
// moves and the mapping of a point to a day.

#include "CalendarMonth.h"

#include <ctime>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

TEST(CalendarMonthTest, FebruaryFollowsTheJulianRuleUpTo1752AndTheGregorianAfter)
{
    EXPECT_EQ(calendar::daysInMonth(2, 1700), 29);
    EXPECT_EQ(calendar::daysInMonth(2, 1900), 28);
    EXPECT_EQ(calendar::daysInMonth(2, 2000), 29);
    EXPECT_EQ(calendar::daysInMonth(2, 2023), 28);
    EXPECT_EQ(calendar::daysInMonth(2, 2024), 29);
    EXPECT_EQ(calendar::daysInMonth(4, 2024), 30);
    EXPECT_EQ(calendar::dayOfYear(31, 12, 2000), 366);
    EXPECT_EQ(calendar::dayOfYear(1, 3, 1900), 60);
}

TEST(CalendarMonthTest, EveryDayFrom1753To2100HasTheCLibrarysWeekday)
{
    for (int year = 1753; year <= 2100; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= calendar::daysInMonth(month, year); ++day) {
                std::tm fields{};
                fields.tm_year = year - 1900;
                fields.tm_mon = month - 1;
                fields.tm_mday = day;
                fields.tm_hour = 12;
                timegm(&fields); // fills in tm_wday, proleptic Gregorian
                ASSERT_EQ(calendar::dayOfWeek(day, month, year), fields.tm_wday)
                    << year << "-" << month << "-" << day;
            }
        }
    }
}

TEST(CalendarMonthTest, September1752LosesElevenDays)
{
    const CalendarMonth september(1752, 9, 1);
    EXPECT_EQ(september.cell(0, 0), CalendarMonth::kEmpty);
    EXPECT_EQ(september.cell(0, 1), CalendarMonth::kEmpty);
    EXPECT_EQ(september.cell(0, 2), 1);  // Tuesday
    EXPECT_EQ(september.cell(0, 3), 2);  // Wednesday
    EXPECT_EQ(september.cell(0, 4), 14); // Thursday
    EXPECT_EQ(september.cell(2, 6), 30);
    EXPECT_EQ(september.cell(3, 0), CalendarMonth::kEmpty);
    EXPECT_EQ(calendar::dayOfWeek(1, 9, 1752), 2);
    EXPECT_EQ(calendar::dayOfWeek(14, 9, 1752), 4);
    EXPECT_EQ(calendar::dayOfWeek(2, 9, 1752), 3);

    CalendarMonth moving = september;
    EXPECT_FALSE(moving.setDay(5)) << "a day that never was";
    EXPECT_TRUE(moving.setDay(2));
    EXPECT_TRUE(moving.moveBy(1));
    EXPECT_EQ(moving.day(), 14);
    EXPECT_TRUE(moving.moveBy(-1));
    EXPECT_EQ(moving.day(), 2);
}

TEST(CalendarMonthTest, AMonthStartingOnSaturdayNeedsSixRows)
{
    // March 2025 begins on a Saturday and has 31 days.
    const CalendarMonth march(2025, 3, 1);
    EXPECT_EQ(march.cell(0, 6), 1);
    EXPECT_EQ(march.cell(0, 5), CalendarMonth::kEmpty);
    EXPECT_EQ(march.cell(5, 0), 30);
    EXPECT_EQ(march.cell(5, 1), 31);
    EXPECT_EQ(march.cell(5, 2), CalendarMonth::kEmpty);
    int row = 0;
    int column = 0;
    ASSERT_TRUE(march.cellOfDay(31, row, column));
    EXPECT_EQ(row, 5);
    EXPECT_EQ(column, 1);
    EXPECT_FALSE(march.cellOfDay(32, row, column));
    EXPECT_NE(march.description().find(" 31"), std::string::npos);
}

TEST(CalendarMonthTest, ChangingMonthOrYearClampsTheDay)
{
    CalendarMonth date(2024, 1, 31);
    EXPECT_TRUE(date.setMonth(2));
    EXPECT_EQ(date.day(), 29);
    CalendarMonth plain(2023, 1, 31);
    EXPECT_TRUE(plain.setMonth(2));
    EXPECT_EQ(plain.day(), 28);
    EXPECT_FALSE(plain.setMonth(13));
    EXPECT_FALSE(plain.setMonth(0));
    EXPECT_EQ(plain.month(), 2);

    CalendarMonth leap(2024, 2, 29);
    EXPECT_TRUE(leap.setYear(2025));
    EXPECT_EQ(leap.day(), 28);
    EXPECT_FALSE(leap.setDay(29)) << "outside the shown month";
    EXPECT_FALSE(leap.setDay(0));
    EXPECT_FALSE(leap.dayChange(28)) << "the selected day already";
    EXPECT_FALSE(leap.dayChange(-1));
    EXPECT_TRUE(leap.dayChange(3));
    EXPECT_EQ(leap.day(), 3);

    // Arrow keys run across months and years.
    CalendarMonth newYear(2024, 12, 31);
    EXPECT_TRUE(newYear.moveBy(1));
    EXPECT_EQ(newYear.year(), 2025);
    EXPECT_EQ(newYear.month(), 1);
    EXPECT_EQ(newYear.day(), 1);
    EXPECT_TRUE(newYear.moveBy(-7));
    EXPECT_EQ(newYear.month(), 12);
    EXPECT_EQ(newYear.day(), 25);
}

TEST(CalendarMonthTest, PointsMapToTheirDayCellAndOutsideTheGridToNothing)
{
    const CalendarMonth march(2025, 3, 1);
    const CalendarGeometry geometry{10, 5, 20, 14};
    // Row r spans y from bottom + (5 - r) * 15 upwards.
    auto centre = [&](int row, int column) {
        return std::pair{geometry.left + (column + 0.5) * geometry.cellWidth,
                         geometry.bottom + (5 - row + 0.5) * (geometry.cellHeight + 1)};
    };
    const auto [x1, y1] = centre(0, 6);
    EXPECT_EQ(march.dayAtPoint(x1, y1, geometry), 1);
    const auto [x31, y31] = centre(5, 1);
    EXPECT_EQ(march.dayAtPoint(x31, y31, geometry), 31);
    const auto [xEmpty, yEmpty] = centre(0, 0);
    EXPECT_EQ(march.dayAtPoint(xEmpty, yEmpty, geometry), CalendarMonth::kEmpty);
    EXPECT_EQ(march.dayAtPoint(5, y1, geometry), CalendarMonth::kEmpty) << "left of the grid";
    EXPECT_EQ(march.dayAtPoint(10 + 7 * 20 + 1, y1, geometry), CalendarMonth::kEmpty);
    EXPECT_EQ(march.dayAtPoint(x1, 2, geometry), CalendarMonth::kEmpty) << "below the grid";
    EXPECT_EQ(march.dayAtPoint(x1, 5 + 6 * 15 + 1, geometry), CalendarMonth::kEmpty)
        << "above the grid";
}

} // namespace
