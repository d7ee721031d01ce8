// The schedule editor in the detail drawer and its calendar, offscreen.

#include "WindowTestSupport.h"

#include "CalendarWidget.h"
#include "DetailDrawer.h"
#include "ScheduleEntry.h"
#include "ScheduleFixtures.h"
#include "TimerController.h"

#include <QAccessible>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimeEdit>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

class TimerControllerTest : public WindowTest
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    ui::TimerController& editor()
    {
        return *window().findChild<ui::DetailDrawer*>()->scheduleView();
    }

    /// The station shown with the schedule editor open.
    Node* showStation(const std::string& name = "Night Owl", const std::string& url = "http://a/")
    {
        Node* node = station(name, url);
        list().selectNodes({node});
        window().showTimerView();
        return node;
    }
    Array schedules(Node* node)
    {
        return node->propertyForKey(np::NP_RECORDING_SCHEDULE).value_or(Value()).toArray();
    }
    static void choose(QComboBox* popUp, int index)
    {
        popUp->setCurrentIndex(index);
        emit popUp->activated(index);
    }
    void times(int sh, int sm, int eh, int em)
    {
        editor().startTimeControl()->setTime(QTime(sh, sm));
        editor().stopTimeControl()->setTime(QTime(eh, em));
    }
    void clickDay(int day)
    {
        ui::CalendarWidget* calendar = editor().calendar();
        const QPoint centre = calendar->cellCentre(day);
        ASSERT_FALSE(centre.isNull()) << day;
        QTest::mouseClick(calendar, Qt::LeftButton, {}, centre);
    }
};

TEST_F(TimerControllerTest, ModesEnableTheirControlsAndANewEntryStartsInactive)
{
    start();
    Node* node = showStation();
    ui::TimerController& e = editor();
    EXPECT_TRUE(e.isEnabled());
    EXPECT_EQ(e.timerTable()->rowCount(), 0);
    EXPECT_EQ(e.nameTextField()->text(), "No name");
    EXPECT_TRUE(e.recurringCheckbox()->isChecked());
    EXPECT_FALSE(e.removeButton()->isEnabled());
    EXPECT_FALSE(e.modifyButton()->isEnabled());
    EXPECT_EQ(e.nextRecordingLabel()->text(), "Next recording: none");
    EXPECT_TRUE(node->propertyForKey(np::NP_RECORDING_SCHEDULE)->isArray())
        << "a station without schedules gets an empty list";

    choose(e.frequencyPopUp(), kDaily);
    EXPECT_FALSE(e.dayPopUp()->isEnabled());
    EXPECT_FALSE(e.calendar()->isEnabled());
    choose(e.frequencyPopUp(), kWeekly);
    EXPECT_TRUE(e.dayPopUp()->isEnabled());
    choose(e.frequencyPopUp(), kOnce);
    EXPECT_TRUE(e.dayPopUp()->isEnabled());
    e.dateCheckbox()->click();
    EXPECT_FALSE(e.recurringCheckbox()->isChecked());
    EXPECT_FALSE(e.frequencyPopUp()->isEnabled());
    EXPECT_FALSE(e.dayPopUp()->isEnabled());
    EXPECT_TRUE(e.calendar()->isEnabled());
    EXPECT_TRUE(e.yearPopUp()->isEnabled());
    EXPECT_TRUE(e.monthPopUp()->isEnabled());
    e.recurringCheckbox()->click();
    EXPECT_FALSE(e.calendar()->isEnabled());

    // Weekly on Saturday across midnight, in the system's 12-hour clock.
    choose(e.frequencyPopUp(), kWeekly);
    choose(e.dayPopUp(), 6);
    times(23, 0, 1, 0);
    e.nameTextField()->setText("   ");
    emit e.nameTextField()->editingFinished();
    EXPECT_EQ(e.nameTextField()->text(), "No name");
    EXPECT_EQ(e.startTimeControl()->text(), "11:00 PM");
    e.addButton()->click();
    const Array list = schedules(node);
    ASSERT_EQ(list.size(), 1u);
    const Dictionary entry = list[0].toDictionary();
    EXPECT_EQ(entry.get(schedkey::WEEKLY), Value(6));
    EXPECT_EQ(entry.get(schedkey::STARTHOURS), Value(23));
    EXPECT_EQ(entry.get(schedkey::STOPHOURS), Value(1));
    EXPECT_EQ(entry.get(schedkey::DESCRIPTION), Value("Every Saturday, 11PM-1AM (next day)"));
    EXPECT_EQ(entry.get(schedkey::ACTIVE), Value(false));
    EXPECT_EQ(entry.get(schedkey::NAME), Value("No name"));
    EXPECT_EQ(e.selectedRow(), 0);
    EXPECT_TRUE(e.removeButton()->isEnabled());
    EXPECT_TRUE(library().delayedSavePending());
    EXPECT_EQ(e.nextRecordingLabel()->text(), "Next recording: none") << "inactive";

    // Ticking the box activates it; the next start shows at once.
    e.timerTable()->item(0, 0)->setCheckState(Qt::Checked);
    EXPECT_EQ(schedules(node)[0].toDictionary().get(schedkey::ACTIVE), Value(true));
    EXPECT_NE(e.nextRecordingLabel()->text(), "Next recording: none");
    EXPECT_NE(e.nextRecordingLabel()->text().indexOf("Saturday"), -1)
        << e.nextRecordingLabel()->text().toStdString();

    // The same entry again is refused.
    e.addButton()->click();
    ASSERT_NE(e.alert(), nullptr);
    EXPECT_EQ(e.alert()->text(), "Failed to create new schedule");
    EXPECT_EQ(e.alert()->informativeText(),
              "The schedule already exists.  Please try again with different values.");
    EXPECT_EQ(schedules(node).size(), 1u);
    e.alert()->accept();
    EXPECT_TRUE(spinUntil([&] { return e.alert() == nullptr; }, 5s));
}

TEST_F(TimerControllerTest, ADateIsPickedOnTheCalendarAndAnOvernightStopRollsIntoTheNextMonth)
{
    start();
    Node* node = showStation();
    ui::TimerController& e = editor();
    e.dateCheckbox()->click();
    const int year = QDate::currentDate().year() + 1;
    choose(e.yearPopUp(), e.yearPopUp()->findText(QString::number(year)));
    choose(e.monthPopUp(), 0); // January
    EXPECT_EQ(e.calendar()->year(), year);
    EXPECT_EQ(e.calendar()->monthNumber(), 1);
    clickDay(31);
    EXPECT_EQ(e.calendar()->day(), 31);
    // A click beside the grid changes nothing.
    QTest::mouseClick(e.calendar(), Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(e.calendar()->day(), 31);
    times(22, 0, 6, 0);
    e.nameTextField()->setText("Late Show");
    e.addButton()->click();
    ASSERT_EQ(schedules(node).size(), 1u);
    const Dictionary entry = schedules(node)[0].toDictionary();
    EXPECT_EQ(entry.get(schedkey::FREQUENCY), Value(0));
    const LocalDay start = LocalDay::fromDate(entry.get(schedkey::START).toDate());
    const LocalDay stop = LocalDay::fromDate(entry.get(schedkey::STOP).toDate());
    EXPECT_EQ(start.month, 1);
    EXPECT_EQ(start.day, 31);
    EXPECT_EQ(stop.month, 2);
    EXPECT_EQ(stop.day, 1);
    EXPECT_EQ(entry.get(schedkey::STOP).toDate().secondsSince1970 -
                  entry.get(schedkey::START).toDate().secondsSince1970,
              8 * 3600.0);

    // Moving to February keeps the day in the month; the arrow keys move the selection.
    choose(e.monthPopUp(), 1);
    EXPECT_EQ(e.calendar()->day(), QDate::isLeapYear(year) ? 29 : 28);
    e.calendar()->setFocus();
    QTest::keyClick(e.calendar(), Qt::Key_Left);
    EXPECT_EQ(e.calendar()->day(), QDate::isLeapYear(year) ? 28 : 27);
    QTest::keyClick(e.calendar(), Qt::Key_Down);
    EXPECT_EQ(e.calendar()->monthNumber(), 3);

    // Shown back, the once entry is in date mode on its day.
    e.selectRow(0);
    EXPECT_TRUE(e.dateCheckbox()->isChecked());
    EXPECT_EQ(e.calendar()->monthNumber(), 1);
    EXPECT_EQ(e.calendar()->day(), 31);
    EXPECT_EQ(e.monthPopUp()->currentIndex(), 0);
    EXPECT_FALSE(e.isDirty());
}

TEST_F(TimerControllerTest, ModifyTakesANewNameRefusesNoChangeAndAPastOnceEntryNeverComesNext)
{
    start();
    Node* node = showStation();
    ui::TimerController& e = editor();
    choose(e.frequencyPopUp(), kDaily);
    times(9, 0, 10, 0);
    e.nameTextField()->setText("Morning");
    e.addButton()->click();
    e.timerTable()->item(0, 0)->setCheckState(Qt::Checked);
    EXPECT_EQ(schedules(node)[0].toDictionary().get(schedkey::DESCRIPTION),
              Value("Daily, 9AM-10AM "))
        << "the format leaves a blank where \"(next day)\" goes";
    EXPECT_FALSE(e.modifyButton()->isEnabled());

    // Only the name changes: accepted, the entry stays active.
    e.nameTextField()->setText("Breakfast");
    emit e.nameTextField()->textEdited("Breakfast");
    EXPECT_TRUE(e.modifyButton()->isEnabled());
    const Dictionary before = schedules(node)[0].toDictionary();
    e.modifyButton()->click();
    const Dictionary after = schedules(node)[0].toDictionary();
    EXPECT_EQ(after.get(schedkey::NAME), Value("Breakfast"));
    EXPECT_EQ(after.get(schedkey::ACTIVE), Value(true));
    EXPECT_FALSE(after.isSameObject(before)) << "a new entry, so a running recording restarts";
    EXPECT_FALSE(e.modifyButton()->isEnabled());
    EXPECT_EQ(e.alert(), nullptr);

    // Touched but unchanged: the duplicate alert, nothing changes.
    choose(e.frequencyPopUp(), kDaily);
    ASSERT_TRUE(e.modifyButton()->isEnabled());
    e.modifyButton()->click();
    ASSERT_NE(e.alert(), nullptr);
    EXPECT_EQ(e.alert()->text(), "Failed to modify schedule");
    EXPECT_TRUE(schedules(node)[0].toDictionary().isSameObject(after));
    e.alert()->accept();

    // A once entry yesterday is kept but never the next start.
    e.removeButton()->click();
    EXPECT_EQ(schedules(node).size(), 0u);
    e.dateCheckbox()->click();
    const QDate yesterday = QDate::currentDate().addDays(-1);
    choose(e.yearPopUp(), e.yearPopUp()->findText(QString::number(yesterday.year())));
    choose(e.monthPopUp(), yesterday.month() - 1);
    clickDay(yesterday.day());
    times(8, 0, 9, 0);
    e.addButton()->click();
    ASSERT_EQ(schedules(node).size(), 1u);
    e.timerTable()->item(0, 0)->setCheckState(Qt::Checked);
    EXPECT_EQ(e.nextRecordingLabel()->text(), "Next recording: none");
}

TEST(CalendarWidgetTest, ScreenReadersFindEveryDayByItsNameAndTheSelectedOne)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ui::CalendarWidget calendar;
    calendar.setDate(2025, 3, 14);
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&calendar);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    ASSERT_EQ(table->childCount(), 31);
    EXPECT_EQ(table->child(0)->text(QAccessible::Name), "Saturday, March 1, 2025");
    EXPECT_EQ(table->child(30)->text(QAccessible::Name), "Monday, March 31, 2025");
    EXPECT_TRUE(table->child(13)->state().selected);
    EXPECT_FALSE(table->child(12)->state().selected);
    EXPECT_EQ(table->indexOfChild(table->child(5)), 5);
    // Another month has other days.
    calendar.setMonth(2);
    EXPECT_EQ(table->childCount(), 28);
    EXPECT_EQ(table->child(27)->text(QAccessible::Name), "Friday, February 28, 2025");
    QLocale::setDefault(QLocale::c());
}

TEST_F(TimerControllerTest, TimesFollowTheSystemsTwentyFourHourClock)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    start();
    Node* node = showStation();
    ui::TimerController& e = editor();
    choose(e.frequencyPopUp(), kDaily);
    times(21, 0, 1, 30);
    EXPECT_EQ(e.startTimeControl()->text(), "21:00");
    e.addButton()->click();
    const std::string description =
        schedules(node)[0].toDictionary().get(schedkey::DESCRIPTION).toString();
    EXPECT_NE(description.find("21-1:30"), std::string::npos) << description;
    EXPECT_EQ(schedules(node)[0].toDictionary().get(schedkey::STARTHOURS), Value(21));
}

TEST_F(TimerControllerTest, ModifyingTheRunningEntryStopsAndRestartsItsRecording)
{
    server.addMount("/live", loopingMount({{0, "A - One"}}));
    schedulerInterval = 200ms;
    start();
    Node* node = showStation("Live", server.url("/live"));
    ui::TimerController& e = editor();
    const QTime now = QTime::currentTime();
    if (now.hour() == 23 && now.minute() >= 50)
        GTEST_SKIP() << "too close to midnight for a daily window around now";
    choose(e.frequencyPopUp(), kDaily);
    times(now.hour(), now.minute(), (now.hour() + 1) % 24, now.minute());
    e.addButton()->click();
    e.timerTable()->item(0, 0)->setCheckState(Qt::Checked);
    ASSERT_TRUE(spinUntil([&] { return node->isRecording(); }, 10s));
    ASSERT_TRUE(spinUntil([&] { return server.requests().size() >= 1; }, 10s));
    const std::size_t connections = server.requests().size();

    // A later stop: the entry is replaced, its recording ends and starts again.
    e.stopTimeControl()->setTime(QTime((now.hour() + 1) % 24, now.minute()).addSecs(60));
    ASSERT_TRUE(e.modifyButton()->isEnabled());
    e.modifyButton()->click();
    bool stopped = false;
    EXPECT_TRUE(spinUntil(
        [&] {
            stopped = stopped || !node->isRecording();
            return stopped && node->isRecording() && server.requests().size() > connections;
        },
        15s))
        << "the recording was not stopped and started again (stopped: " << stopped << ")";
    controller().stopRecordingForAllWithAlertMessage(std::nullopt);
}

TEST_F(TimerControllerTest, TheOpenEditorShowsAnEntryTheSchedulerHasSpent)
{
    server.addMount("/live", loopingMount({{0, "A - One"}}));
    schedulerInterval = 100ms;
    start();
    Node* node = station("Short", server.url("/live"));
    // A once entry whose window is open for the next two seconds.
    const Date now = Date::now();
    node->setProperty(Value(Array{Value(onceEntry(Date{now.secondsSince1970 - 1},
                                                  Date{now.secondsSince1970 + 2}))}),
                      np::NP_RECORDING_SCHEDULE);
    list().selectNodes({node});
    window().showTimerView();
    ui::TimerController& e = editor();
    ASSERT_EQ(e.timerTable()->rowCount(), 1);
    EXPECT_EQ(e.timerTable()->item(0, 0)->checkState(), Qt::Checked);

    ASSERT_TRUE(spinUntil([&] { return node->isRecording(); }, 10s));
    ASSERT_TRUE(spinUntil([&] { return !node->isRecording(); }, 10s));
    EXPECT_TRUE(
        spinUntil([&] { return e.timerTable()->item(0, 0)->checkState() == Qt::Unchecked; }, 5s));
    EXPECT_EQ(e.nextRecordingLabel()->text(), "Next recording: none");
}

} // namespace
