#include "CalendarAccessible.h"

#include "CalendarWidget.h"

#include <QAccessibleWidget>
#include <QPointer>

#include <vector>

namespace orvanta::ui {

namespace {

class CalendarDayAccessible : public QAccessibleInterface
{
public:
    CalendarDayAccessible(CalendarWidget* calendar, int day) : m_calendar(calendar), m_day(day) {}

    bool isValid() const override { return m_calendar; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override
    {
        return m_calendar ? m_calendar->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_calendar.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        return m_calendar && t == QAccessible::Name ? m_calendar->dayName(m_day) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!m_calendar)
            return {};
        const QRect cell = m_calendar->cellRectOfDay(m_day);
        return cell.isNull() ? QRect()
                             : QRect(m_calendar->mapToGlobal(cell.topLeft()), cell.size());
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.selectable = true;
        state.selected = m_calendar && m_calendar->day() == m_day;
        state.disabled = m_calendar && !m_calendar->isEnabled();
        return state;
    }

private:
    QPointer<CalendarWidget> m_calendar;
    int m_day;
};

class CalendarAccessible : public QAccessibleWidget
{
public:
    explicit CalendarAccessible(CalendarWidget* calendar)
        : QAccessibleWidget(calendar, QAccessible::Table, QStringLiteral("Calendar"))
    {}
    ~CalendarAccessible() override { forgetDays(); }

    int childCount() const override { return static_cast<int>(days().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const std::vector<int>& shown = days();
        if (index < 0 || index >= static_cast<int>(shown.size()))
            return nullptr;
        return QAccessible::accessibleInterface(m_ids[index]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const std::vector<int>& shown = days();
        for (std::size_t i = 0; i < shown.size(); ++i)
            if (QAccessible::accessibleInterface(m_ids[i]) == child)
                return static_cast<int>(i);
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        auto* calendar = static_cast<CalendarWidget*>(widget());
        const int day = calendar->dayAt(calendar->mapFromGlobal(QPoint(x, y)));
        const std::vector<int>& shown = days();
        for (std::size_t i = 0; i < shown.size(); ++i)
            if (shown[i] == day)
                return child(static_cast<int>(i));
        return nullptr;
    }

private:
    // The days of the shown month in grid order; their interfaces are made again when the
    // month changes.
    const std::vector<int>& days() const
    {
        auto* calendar = static_cast<CalendarWidget*>(widget());
        const CalendarMonth& month = calendar->month();
        std::vector<int> shown;
        for (int row = 0; row < CalendarMonth::kRows; ++row)
            for (int column = 0; column < CalendarMonth::kColumns; ++column)
                if (month.cell(row, column) != CalendarMonth::kEmpty)
                    shown.push_back(month.cell(row, column));
        if (shown != m_days || month.year() != m_year || month.month() != m_month) {
            forgetDays();
            m_days = shown;
            m_year = month.year();
            m_month = month.month();
            for (int day : m_days)
                m_ids.push_back(QAccessible::registerAccessibleInterface(
                    new CalendarDayAccessible(calendar, day)));
        }
        return m_days;
    }
    void forgetDays() const
    {
        for (QAccessible::Id id : m_ids)
            QAccessible::deleteAccessibleInterface(id);
        m_ids.clear();
        m_days.clear();
    }

    mutable std::vector<int> m_days;
    mutable std::vector<QAccessible::Id> m_ids;
    mutable int m_year = 0;
    mutable int m_month = 0;
};

} // namespace

QAccessibleInterface* calendarAccessibleFactory(const QString&, QObject* object)
{
    if (auto* calendar = qobject_cast<CalendarWidget*>(object))
        return new CalendarAccessible(calendar);
    return nullptr;
}

} // namespace orvanta::ui
