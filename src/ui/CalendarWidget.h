#pragma once

// The month view of the schedule editor: a 6 × 7 grid of days under a weekday header, the
// selected day highlighted. A click or drag selects the day under the pointer; the arrow
// keys move the selection by a day or a week, Page Up and Page Down by a month. The rules
// (grid, clamping, September 1752) are CalendarMonth's; this class paints and maps points.
//
// Thread: main.

#include "CalendarMonth.h"

#include <QWidget>

namespace orvanta::ui {

class CalendarWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CalendarWidget(QWidget* parent = nullptr);

    const CalendarMonth& month() const { return m_month; }
    int year() const { return m_month.year(); }
    int monthNumber() const { return m_month.month(); }
    int day() const { return m_month.day(); }

    void setDate(int year, int month, int day);
    void setMonth(int month);
    void setYear(int year);
    void setDay(int day);

    /// The centre of a day's cell in widget coordinates (invalid when not shown).
    QPoint cellCentre(int day) const;
    /// The day under a widget point, or CalendarMonth::kEmpty.
    int dayAt(const QPoint& point) const;
    /// The cell of a day in widget coordinates (empty when not shown).
    QRect cellRectOfDay(int day) const;
    /// A day of the shown month as a screen reader says it: weekday, day, month and year.
    QString dayName(int day) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    /// The selected date changed (by the user or by a setter).
    void dateChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    CalendarGeometry geometry() const;
    int headerHeight() const;
    QRect cellRect(int row, int column) const;
    void changed(bool didChange);

    CalendarMonth m_month;
};

} // namespace orvanta::ui
