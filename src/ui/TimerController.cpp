#include "TimerController.h"

#include "QtStrings.h"

#include "CalendarWidget.h"
#include "MyOLVController.h"
#include "NextScheduledRecording.h"
#include "Node.h"
#include "NodePropertyKeys.h"
#include "ScheduleEditorModel.h"
#include "ScheduleEntry.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace orvanta::ui {

namespace {

constexpr int kActiveColumn = 0;
constexpr int kSummaryColumn = 1;
constexpr int kEntryRole = Qt::UserRole + 1; // the description under the name

// The summary cell: the name at 12 points over the description at 10.
class SummaryDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        QApplication::style()->drawControl(QStyle::CE_ItemViewItem, &background, painter);
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        painter->setPen(
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        QFont name = option.font;
        name.setPointSize(12);
        QFont description = option.font;
        description.setPointSize(10);
        const QRect area = option.rect.adjusted(4, 2, -4, -2);
        const int nameHeight = QFontMetrics(name).height();
        painter->setFont(name);
        painter->drawText(area.adjusted(0, 0, 0, -(area.height() - nameHeight)),
                          Qt::AlignLeft | Qt::AlignVCenter, index.data(Qt::EditRole).toString());
        painter->setFont(description);
        painter->drawText(area.adjusted(0, nameHeight, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                          index.data(kEntryRole).toString());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        QFont name = option.font;
        name.setPointSize(12);
        QFont description = option.font;
        description.setPointSize(10);
        return {200, QFontMetrics(name).height() + QFontMetrics(description).height() + 6};
    }
};

} // namespace

ScheduleClockStyle TimerController::clockStyle()
{
    const QLocale locale;
    ScheduleClockStyle style;
    style.twelveHourClock =
        locale.timeFormat(QLocale::ShortFormat).contains(QLatin1Char('a'), Qt::CaseInsensitive);
    style.amString = locale.amText().toStdString();
    style.pmString = locale.pmText().toStdString();
    return style;
}

TimerController::TimerController(MyOLVController& library, QWidget* parent)
    : QWidget(parent), m_library(library), m_table(new QTableWidget(0, 2, this)),
      m_next(new QLabel(this)), m_name(new QLineEdit(this)),
      m_recurring(new QRadioButton(tr("Recurring"), this)),
      m_specificDate(new QRadioButton(tr("Specific date"), this)), m_frequency(new QComboBox(this)),
      m_weekday(new QComboBox(this)), m_year(new QComboBox(this)), m_month(new QComboBox(this)),
      m_calendar(new CalendarWidget(this)), m_start(new QTimeEdit(this)),
      m_stop(new QTimeEdit(this)), m_add(new QPushButton(tr("Add"), this)),
      m_remove(new QPushButton(tr("Remove"), this)), m_modify(new QPushButton(tr("Modify"), this))
{
    setObjectName(QStringLiteral("timerView"));
    m_table->setObjectName(QStringLiteral("timerTable"));
    m_table->setAccessibleName(tr("Schedules"));
    m_table->setHorizontalHeaderLabels({tr("Active"), tr("Schedule")});
    m_table->horizontalHeader()->setSectionResizeMode(kActiveColumn, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(kSummaryColumn, QHeaderView::Stretch);
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_table->setItemDelegateForColumn(kSummaryColumn, new SummaryDelegate(m_table));
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_next->setObjectName(QStringLiteral("nextRecording"));

    m_name->setAccessibleName(tr("Schedule name"));
    // The frequency's index is its FREQUENCY value.
    m_frequency->addItems({tr("Once, on the next"), tr("Daily"), tr("Weekly, every"),
                           tr("Weekdays"), tr("Weekends")});
    // Index = day of the week, Sunday first.
    const QLocale locale;
    for (int day = 0; day < 7; ++day)
        m_weekday->addItem(locale.dayName(day == 0 ? 7 : day, QLocale::LongFormat));
    for (int month = 1; month <= 12; ++month)
        m_month->addItem(locale.standaloneMonthName(month, QLocale::LongFormat));
    fillYears(QDate::currentDate().year());
    // Hours and minutes only, as the system writes times (12- or 24-hour).
    QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    timeFormat.remove(QStringLiteral(":ss")).remove(QStringLiteral(".ss"));
    for (QTimeEdit* time : {m_start, m_stop}) {
        time->setDisplayFormat(timeFormat);
        time->setTime(QTime(12, 0));
        time->setWrapping(true);
    }
    m_frequency->setAccessibleName(tr("Frequency"));
    m_weekday->setAccessibleName(tr("Weekday"));
    m_month->setAccessibleName(tr("Month"));
    m_year->setAccessibleName(tr("Year"));
    m_start->setAccessibleName(tr("Start time"));
    m_stop->setAccessibleName(tr("Stop time"));

    auto* editor = new QGridLayout;
    editor->addWidget(new QLabel(tr("Name:"), this), 0, 0);
    editor->addWidget(m_name, 0, 1, 1, 3);
    editor->addWidget(m_recurring, 1, 0);
    editor->addWidget(m_frequency, 1, 1);
    editor->addWidget(m_weekday, 1, 2, 1, 2);
    editor->addWidget(m_specificDate, 2, 0);
    editor->addWidget(m_month, 2, 1);
    editor->addWidget(m_year, 2, 2, 1, 2);
    editor->addWidget(m_calendar, 3, 1, 1, 3, Qt::AlignLeft);
    editor->addWidget(new QLabel(tr("Start:"), this), 4, 0);
    editor->addWidget(m_start, 4, 1);
    editor->addWidget(new QLabel(tr("Stop:"), this), 4, 2);
    editor->addWidget(m_stop, 4, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    buttons->addStretch();
    buttons->addWidget(m_modify);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_next);
    layout->addLayout(editor);
    layout->addLayout(buttons);

    connect(m_recurring, &QRadioButton::clicked, this, &TimerController::selectRecurringSchedule);
    connect(m_specificDate, &QRadioButton::clicked, this, &TimerController::selectSpecificDate);
    connect(m_frequency, &QComboBox::activated, this, &TimerController::frequencyChanged);
    connect(m_weekday, &QComboBox::activated, this, &TimerController::markDirty);
    connect(m_year, &QComboBox::activated, this, &TimerController::yearChanged);
    connect(m_month, &QComboBox::activated, this, &TimerController::monthChanged);
    connect(m_calendar, &CalendarWidget::dateChanged, this, [this] {
        if (!m_filling)
            markDirty();
    });
    for (QTimeEdit* time : {m_start, m_stop})
        connect(time, &QTimeEdit::timeChanged, this, [this] {
            if (!m_filling)
                markDirty();
        });
    connect(m_name, &QLineEdit::editingFinished, this, &TimerController::nameEdited);
    connect(m_name, &QLineEdit::textEdited, this, &TimerController::markDirty);
    connect(m_add, &QPushButton::clicked, this, &TimerController::addSchedule);
    connect(m_remove, &QPushButton::clicked, this, &TimerController::removeSchedule);
    connect(m_modify, &QPushButton::clicked, this, &TimerController::modifySchedule);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &TimerController::selectionChanged);
    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (m_filling)
            return;
        if (item->column() == kActiveColumn)
            activeToggled(item->row(), item->checkState() == Qt::Checked);
        else
            summaryEdited(item->row(), item->text());
    });

    // The start state: no name, both times at noon, recurring, today, nothing to remove.
    m_name->setText(tr("No name"));
    m_remove->setEnabled(false);
    m_modify->setEnabled(false);
    m_recurring->setChecked(true);
    selectRecurringSchedule();
    setDirty(false);
    setEnabled(false);
}

void TimerController::fillYears(int including)
{
    const int now = QDate::currentDate().year();
    const int first = std::min(now - 1, including);
    const int last = std::max(now + 10, including);
    if (m_year->count() > 0 && m_year->itemText(0).toInt() == first &&
        m_year->itemText(m_year->count() - 1).toInt() == last)
        return;
    m_year->clear();
    for (int year = first; year <= last; ++year)
        m_year->addItem(QString::number(year));
}

void TimerController::setNode(Node* node)
{
    if (node == m_node && node) {
        needsDisplayTimerTable();
        return;
    }
    m_node = node;
    setEnabled(node != nullptr);
    m_schedules = Array();
    if (node) {
        const auto list = node->propertyForKey(np::NP_RECORDING_SCHEDULE);
        if (list && list->isArray()) {
            m_schedules = list->toArray();
        } else {
            node->setProperty(Value(m_schedules), np::NP_RECORDING_SCHEDULE);
        }
    }
    needsDisplayTimerTable();
    const QDate today = QDate::currentDate();
    setCalendarToDate(today.year(), today.month(), today.day());
    if (!m_schedules.empty()) {
        selectRow(0);
    } else {
        m_table->clearSelection();
        m_name->setText(tr("No name"));
        setDirty(false);
    }
    updateNextRecording();
}

void TimerController::needsDisplayTimerTable()
{
    const std::optional<int> selected = selectedRow();
    m_filling = true;
    m_table->setRowCount(static_cast<int>(m_schedules.size()));
    for (std::size_t row = 0; row < m_schedules.size(); ++row) {
        Dictionary entry = m_schedules[row].toDictionary();
        // An entry without a name gets the placeholder stored as its name.
        if (!entry.get(schedkey::NAME).isString())
            entry.set(schedkey::NAME, normalizedScheduleName(""));
        auto* active = new QTableWidgetItem;
        active->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        active->setCheckState(entry.get(schedkey::ACTIVE).toBool() ? Qt::Checked : Qt::Unchecked);
        active->setData(Qt::AccessibleTextRole, tr("Active"));
        auto* summary = new QTableWidgetItem(qs(entry.get(schedkey::NAME).toString()));
        summary->setData(kEntryRole, qs(entry.get(schedkey::DESCRIPTION).toString()));
        summary->setData(
            Qt::AccessibleTextRole,
            QStringLiteral("%1, %2").arg(summary->text(), summary->data(kEntryRole).toString()));
        summary->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        m_table->setItem(static_cast<int>(row), kActiveColumn, active);
        m_table->setItem(static_cast<int>(row), kSummaryColumn, summary);
    }
    if (selected && *selected < m_table->rowCount())
        m_table->selectRow(*selected);
    m_filling = false;
}

void TimerController::updateTimerViewWithNode(Node* node)
{
    if (!node || node != m_node)
        return;
    // The list may have been replaced as a whole (an import, an undo) since it was shown.
    if (const auto list = node->propertyForKey(np::NP_RECORDING_SCHEDULE); list && list->isArray())
        m_schedules = list->toArray();
    needsDisplayTimerTable();
    updateNextRecording();
}

std::optional<int> TimerController::selectedRow() const
{
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first().row();
}

void TimerController::selectRow(int row)
{
    m_table->selectRow(row);
    m_table->scrollToItem(m_table->item(row, kSummaryColumn));
    selectionChanged();
}

void TimerController::selectionChanged()
{
    if (m_filling)
        return;
    const std::optional<int> row = selectedRow();
    if (!row || *row >= static_cast<int>(m_schedules.size())) {
        setDirty(false);
        m_add->setEnabled(true);
        m_remove->setEnabled(false);
        return;
    }
    updateDisplayWithScheduleModel(m_schedules[*row].toDictionary());
    m_add->setEnabled(true);
    m_remove->setEnabled(true);
}

void TimerController::setDirty(bool dirty)
{
    m_dirty = dirty && selectedRow().has_value();
    m_modify->setEnabled(m_dirty);
}

void TimerController::selectRecurringSchedule()
{
    markDirty();
    m_recurring->setChecked(true);
    m_year->setEnabled(false);
    m_month->setEnabled(false);
    m_calendar->setEnabled(false);
    m_frequency->setEnabled(true);
    const int frequency = m_frequency->currentIndex();
    m_weekday->setEnabled(frequency == kOnce || frequency == kWeekly);
}

void TimerController::selectSpecificDate()
{
    markDirty();
    m_specificDate->setChecked(true);
    m_weekday->setEnabled(false);
    m_frequency->setEnabled(false);
    m_year->setEnabled(true);
    m_month->setEnabled(true);
    m_calendar->setEnabled(true);
}

void TimerController::frequencyChanged()
{
    markDirty();
    const int frequency = m_frequency->currentIndex();
    m_weekday->setEnabled(frequency == kOnce || frequency == kWeekly);
}

void TimerController::yearChanged()
{
    const int year = m_year->currentText().toInt();
    if (year != m_calendar->year()) {
        markDirty();
        m_calendar->setYear(year);
    }
}

void TimerController::monthChanged()
{
    markDirty();
    m_calendar->setMonth(m_month->currentIndex() + 1);
}

void TimerController::setCalendarToDate(int year, int month, int day)
{
    const bool filling = m_filling;
    m_filling = true;
    fillYears(year);
    m_year->setCurrentIndex(m_year->findText(QString::number(year)));
    m_month->setCurrentIndex(month - 1);
    m_calendar->setDate(year, month, day);
    m_filling = filling;
}

void TimerController::nameEdited()
{
    const std::string name = normalizedScheduleName(m_name->text().toStdString());
    if (m_name->text().toStdString() != name)
        m_name->setText(qs(name));
    markDirty();
}

Dictionary TimerController::createScheduleModelFromDisplay() const
{
    ScheduleEditorValues values;
    values.name = normalizedScheduleName(m_name->text().toStdString());
    values.recurring = m_recurring->isChecked();
    values.frequency = m_frequency->currentIndex();
    values.weekday = m_weekday->currentIndex();
    values.weekdayTitle = m_weekday->currentText().toStdString();
    values.calendarDay = LocalDay{m_calendar->year(), m_calendar->monthNumber(), m_calendar->day()};
    values.startHour = m_start->time().hour();
    values.startMinute = m_start->time().minute();
    values.stopHour = m_stop->time().hour();
    values.stopMinute = m_stop->time().minute();
    return orvanta::createScheduleModelFromDisplay(values, clockStyle());
}

void TimerController::updateDisplayWithScheduleModel(const Dictionary& entry)
{
    const ScheduleEditorValues values = editorValuesFromScheduleModel(entry);
    m_filling = true;
    m_frequency->setCurrentIndex(values.recurring ? values.frequency : static_cast<int>(kOnce));
    m_recurring->setChecked(values.recurring);
    m_specificDate->setChecked(!values.recurring);
    m_frequency->setEnabled(values.recurring);
    m_weekday->setEnabled(false);
    m_year->setEnabled(!values.recurring);
    m_month->setEnabled(!values.recurring);
    m_calendar->setEnabled(!values.recurring);
    if (values.recurring) {
        if (entry.contains(schedkey::WEEKLY)) {
            m_weekday->setCurrentIndex(values.weekday);
            m_weekday->setEnabled(true);
        }
    } else {
        setCalendarToDate(values.calendarDay.year, values.calendarDay.month,
                          values.calendarDay.day);
    }
    m_start->setTime(QTime(values.startHour, values.startMinute, 0));
    m_stop->setTime(QTime(values.stopHour, values.stopMinute, 0));
    m_name->setText(qs(values.name));
    m_filling = false;
    setDirty(false);
}

void TimerController::addSchedule()
{
    if (!m_node)
        return;
    const Dictionary entry = createScheduleModelFromDisplay();
    if (orvanta::addSchedule(m_schedules, entry) == ScheduleListEdit::AlreadyExists) {
        showDuplicateAlert(failedToCreateScheduleTitle());
        return;
    }
    listChanged();
    selectRow(static_cast<int>(m_schedules.size()) - 1);
    setDirty(false);
}

void TimerController::modifySchedule()
{
    if (!m_dirty || !m_node)
        return;
    const Dictionary entry = createScheduleModelFromDisplay();
    const std::optional<int> row = selectedRow();
    const ScheduleListEdit result = orvanta::modifySchedule(
        m_schedules, row ? std::optional<std::size_t>(*row) : std::nullopt, entry);
    if (result == ScheduleListEdit::AlreadyExists)
        showDuplicateAlert(failedToModifyScheduleTitle());
    else if (result == ScheduleListEdit::Done)
        listChanged();
    setDirty(false);
}

void TimerController::removeSchedule()
{
    const std::optional<int> row = selectedRow();
    if (!row || !m_node || *row >= static_cast<int>(m_schedules.size()))
        return;
    m_schedules.removeAt(static_cast<std::size_t>(*row));
    m_table->clearSelection();
    listChanged();
    selectionChanged();
}

void TimerController::activeToggled(int row, bool active)
{
    if (row < 0 || row >= static_cast<int>(m_schedules.size()))
        return;
    m_schedules[row].toDictionary().set(schedkey::ACTIVE, active);
    listChanged();
}

void TimerController::summaryEdited(int row, const QString& name)
{
    if (row < 0 || row >= static_cast<int>(m_schedules.size()))
        return;
    m_schedules[row].toDictionary().set(schedkey::NAME, normalizedScheduleName(name.toStdString()));
    listChanged();
    if (selectedRow() == row)
        m_name->setText(qs(m_schedules[row].toDictionary().get(schedkey::NAME).toString()));
}

void TimerController::listChanged()
{
    needsDisplayTimerTable();
    updateNextRecording();
    m_library.libraryDidChange();
    emit visibleNodeNeedsDisplay(m_node);
}

void TimerController::updateNextRecording()
{
    const std::optional<Date> next =
        m_node ? computeDateOfNextScheduledRecording({m_node}, Date::now()) : std::nullopt;
    if (!next) {
        m_next->setText(tr("Next recording: none"));
        return;
    }
    const QDateTime when =
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(next->secondsSince1970 * 1000.0));
    const QLocale locale;
    m_next->setText(tr("Next recording: %1 %2")
                        .arg(locale.toString(when.date(), QLocale::LongFormat),
                             locale.toString(when.time(), QLocale::ShortFormat)));
}

void TimerController::showDuplicateAlert(const std::string& title)
{
    auto* alert =
        new QMessageBox(QMessageBox::Warning, tr("Orvanta"), qs(title), QMessageBox::Ok, this);
    alert->setInformativeText(qs(scheduleAlreadyExistsMessage()));
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    connect(alert, &QMessageBox::finished, this, [this] { m_alert = nullptr; });
    m_alert = alert;
    alert->open();
}

} // namespace orvanta::ui
