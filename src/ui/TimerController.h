#pragma once

// The schedule editor of the detail drawer: the station's schedule entries as a table (an
// "active" box and the name over the description), and an editor for one entry (name,
// recurring or a specific date, frequency and weekday, year, month and calendar, start
// and stop times) with add, remove and modify. Entries are built and compared by the
// schedule editor rules; edits go straight into the station's own list, so the scheduler
// sees them at its next tick, and the library is saved as after any edit. Under the table,
// the station's next scheduled start.
//
// Ownership: owns its widgets; borrows the library controller. Thread: main.

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "Value.h"

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTimeEdit;

namespace orvanta {
class MyOLVController;
class Node;
struct ScheduleClockStyle;
} // namespace orvanta

namespace orvanta::ui {

class CalendarWidget;

class TimerController : public QWidget
{
    Q_OBJECT
public:
    explicit TimerController(MyOLVController& library, QWidget* parent = nullptr);

    /// Edits node's schedule list (a new empty list when it has none); nullptr shows
    /// nothing. The same node again only refreshes the table.
    void setNode(Node* node);
    Node* node() const { return m_node; }

    void addSchedule();
    void modifySchedule();
    void removeSchedule();
    /// The entry the editor's controls describe now.
    Dictionary createScheduleModelFromDisplay() const;
    void updateDisplayWithScheduleModel(const Dictionary& entry);
    /// Reloads the table (the window was resized, an entry changed elsewhere).
    void needsDisplayTimerTable();
    /// The scheduler changed node's state or spent one of its entries: when node is shown,
    /// its table and next start are shown anew.
    void updateTimerViewWithNode(Node* node);

    bool isDirty() const { return m_dirty; }
    std::optional<int> selectedRow() const;
    void selectRow(int row);

    QTableWidget* timerTable() const { return m_table; }
    QLineEdit* nameTextField() const { return m_name; }
    QRadioButton* recurringCheckbox() const { return m_recurring; }
    QRadioButton* dateCheckbox() const { return m_specificDate; }
    QComboBox* frequencyPopUp() const { return m_frequency; }
    QComboBox* dayPopUp() const { return m_weekday; }
    QComboBox* yearPopUp() const { return m_year; }
    QComboBox* monthPopUp() const { return m_month; }
    CalendarWidget* calendar() const { return m_calendar; }
    QTimeEdit* startTimeControl() const { return m_start; }
    QTimeEdit* stopTimeControl() const { return m_stop; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* modifyButton() const { return m_modify; }
    QLabel* nextRecordingLabel() const { return m_next; }
    /// The duplicate alert shown now, or nullptr.
    QMessageBox* alert() const { return m_alert; }
    /// How times are written in descriptions: the system's 12- or 24-hour clock.
    static ScheduleClockStyle clockStyle();

signals:
    /// The station's row shows schedule state: it is to be redrawn.
    void visibleNodeNeedsDisplay(Node* node);

private:
    void selectRecurringSchedule();
    void selectSpecificDate();
    void frequencyChanged();
    void yearChanged();
    void monthChanged();
    void setCalendarToDate(int year, int month, int day);
    void setDirty(bool dirty);
    void markDirty() { setDirty(true); }
    void nameEdited();
    void selectionChanged();
    void activeToggled(int row, bool active);
    void summaryEdited(int row, const QString& name);
    void listChanged();
    void updateNextRecording();
    void showDuplicateAlert(const std::string& title);
    void fillYears(int including);

    MyOLVController& m_library;
    Node* m_node = nullptr;
    Array m_schedules; // the node's own list
    bool m_dirty = false;
    bool m_filling = false;

    QTableWidget* m_table;
    QLabel* m_next;
    QLineEdit* m_name;
    QRadioButton* m_recurring;
    QRadioButton* m_specificDate;
    QComboBox* m_frequency;
    QComboBox* m_weekday;
    QComboBox* m_year;
    QComboBox* m_month;
    CalendarWidget* m_calendar;
    QTimeEdit* m_start;
    QTimeEdit* m_stop;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_modify;
    QPointer<QMessageBox> m_alert;
};

} // namespace orvanta::ui
