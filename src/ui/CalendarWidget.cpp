#include "CalendarWidget.h"

#include "CalendarAccessible.h"

#include <QAccessible>

#include <QDate>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace orvanta::ui {

namespace {
// The selected day's background.
const QColor kSelectedDay = QColor::fromRgbF(0.769f, 0.878f, 0.984f);
constexpr int kMargin = 2;
} // namespace

CalendarWidget::CalendarWidget(QWidget* parent)
    : QWidget(parent),
      m_month(QDate::currentDate().year(), QDate::currentDate().month(), QDate::currentDate().day())
{
    static const bool accessible = [] {
        QAccessible::installFactory(&calendarAccessibleFactory);
        return true;
    }();
    (void)accessible;
    setFocusPolicy(Qt::StrongFocus);
    setObjectName(QStringLiteral("calendar"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    changed(true);
}

CalendarGeometry CalendarWidget::geometry() const
{
    const QFontMetrics metrics(font());
    CalendarGeometry g;
    g.cellWidth = std::max(metrics.horizontalAdvance(QStringLiteral("00")) + 10, 22);
    g.cellHeight = metrics.height() + 4;
    g.left = kMargin;
    g.bottom = kMargin;
    return g;
}

int CalendarWidget::headerHeight() const
{
    return QFontMetrics(font()).height() + 4;
}

QSize CalendarWidget::sizeHint() const
{
    const CalendarGeometry g = geometry();
    return {static_cast<int>(2 * kMargin + 7 * g.cellWidth),
            static_cast<int>(2 * kMargin + headerHeight() + 6 * (g.cellHeight + 1))};
}

// The rules count rows upwards from the bottom edge; Qt counts downwards from the top.
QRect CalendarWidget::cellRect(int row, int column) const
{
    const CalendarGeometry g = geometry();
    const double bottomOfRow = g.bottom + (5 - row) * (g.cellHeight + 1);
    const int top = height() - static_cast<int>(bottomOfRow + g.cellHeight);
    return {static_cast<int>(g.left + column * g.cellWidth), top, static_cast<int>(g.cellWidth) - 1,
            static_cast<int>(g.cellHeight)};
}

QRect CalendarWidget::cellRectOfDay(int day) const
{
    int row = 0;
    int column = 0;
    if (!m_month.cellOfDay(day, row, column))
        return {};
    return cellRect(row, column);
}

QPoint CalendarWidget::cellCentre(int day) const
{
    const QRect cell = cellRectOfDay(day);
    return cell.isNull() ? QPoint() : cell.center();
}

int CalendarWidget::dayAt(const QPoint& point) const
{
    return m_month.dayAtPoint(point.x() + 0.5, height() - point.y() - 0.5, geometry());
}

QString CalendarWidget::dayName(int day) const
{
    const QDate date(m_month.year(), m_month.month(), day);
    return QLocale().toString(date, QLocale::LongFormat);
}

void CalendarWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const CalendarGeometry g = geometry();
    // Weekday initials over the columns, Sunday first.
    const QLocale locale;
    for (int column = 0; column < 7; ++column) {
        const int weekday = column == 0 ? 7 : column; // Qt counts Monday 1 ... Sunday 7
        const QRect header(static_cast<int>(g.left + column * g.cellWidth), kMargin,
                           static_cast<int>(g.cellWidth), headerHeight());
        painter.setPen(palette().color(QPalette::WindowText));
        QString initial = locale.dayName(weekday, QLocale::NarrowFormat);
        if (initial.isEmpty() || initial.front().isDigit()) // the C locale numbers its days
            initial = locale.dayName(weekday, QLocale::ShortFormat).left(1);
        painter.drawText(header, Qt::AlignCenter, initial);
    }
    for (int row = 0; row < CalendarMonth::kRows; ++row) {
        for (int column = 0; column < CalendarMonth::kColumns; ++column) {
            const int day = m_month.cell(row, column);
            if (day == CalendarMonth::kEmpty)
                continue;
            const QRect cell = cellRect(row, column);
            const bool selected = day == m_month.day();
            painter.fillRect(cell, selected ? kSelectedDay : QColor(Qt::white));
            if (selected && hasFocus()) {
                painter.setPen(palette().color(QPalette::Highlight));
                painter.drawRect(cell.adjusted(0, 0, -1, -1));
            }
            QFont font = painter.font();
            font.setBold(selected);
            painter.setFont(font);
            painter.setPen(isEnabled() ? QColor(Qt::black) : QColor(Qt::gray));
            painter.drawText(cell, Qt::AlignCenter, QString::number(day));
        }
    }
}

void CalendarWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        changed(m_month.dayChange(dayAt(event->position().toPoint())));
}

void CalendarWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        changed(m_month.dayChange(dayAt(event->position().toPoint())));
}

void CalendarWidget::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        changed(m_month.moveBy(-1));
        break;
    case Qt::Key_Right:
        changed(m_month.moveBy(1));
        break;
    case Qt::Key_Up:
        changed(m_month.moveBy(-7));
        break;
    case Qt::Key_Down:
        changed(m_month.moveBy(7));
        break;
    case Qt::Key_PageUp:
        changed(m_month.month() == 1
                    ? m_month.setDate(m_month.year() - 1, 12, std::min(m_month.day(), 31))
                    : m_month.setMonth(m_month.month() - 1));
        break;
    case Qt::Key_PageDown:
        changed(m_month.month() == 12 ? m_month.setDate(m_month.year() + 1, 1, m_month.day())
                                      : m_month.setMonth(m_month.month() + 1));
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool CalendarWidget::event(QEvent* event)
{
    // Each day names itself under the pointer, as the grid shows only its number.
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int day = dayAt(help->pos());
        if (day != CalendarMonth::kEmpty)
            QToolTip::showText(help->globalPos(), dayName(day), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void CalendarWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

void CalendarWidget::changed(bool didChange)
{
    if (!didChange)
        return;
    // Screen readers hear the selected day with its weekday and month.
    setAccessibleName(tr("Calendar"));
    setAccessibleDescription(dayName(m_month.day()));
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::SelectionWithin);
        QAccessible::updateAccessibility(&event);
    }
    emit dateChanged();
}

void CalendarWidget::setDate(int year, int month, int day)
{
    changed(m_month.setDate(year, month, day));
}

void CalendarWidget::setMonth(int month)
{
    changed(m_month.setMonth(month));
}

void CalendarWidget::setYear(int year)
{
    changed(m_month.setYear(year));
}

void CalendarWidget::setDay(int day)
{
    changed(m_month.setDay(day));
}

} // namespace orvanta::ui
