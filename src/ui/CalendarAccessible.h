#pragma once

// The month calendar for screen readers: the calendar is a table whose children are its
// days, each named with its weekday, day and month, the selected one marked selected.
//
// Thread: main.

class QAccessibleInterface;
class QObject;
class QString;

namespace orvanta::ui {

/// The accessibility factory for CalendarWidget; installed once by the widget.
QAccessibleInterface* calendarAccessibleFactory(const QString& className, QObject* object);

} // namespace orvanta::ui
