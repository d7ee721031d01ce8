#pragma once

// The detail drawer beside the station list: one of three views for the station shown,
// its addresses and credentials, its recording style, its schedules. Pressing the item of
// the view that is open closes the drawer; another item switches it.
//
// Ownership: borrows the library controller and the preset store. Thread: main.

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace orvanta {
class MyOLVController;
class Node;
class PresetsController;
} // namespace orvanta

namespace orvanta::ui {

class TimerController;

/// The addresses, user name and password of a station, with a stepper through its
/// addresses. Edits go into the station at once.
class EditURLView : public QWidget
{
    Q_OBJECT
public:
    EditURLView(MyOLVController& library, QWidget* parent = nullptr);
    void setNode(Node* node);
    /// The stepper's position (the address shown) and its label.
    int selectedIndex() const { return m_index; }
    QString stepperLabel() const;
    QLineEdit* urlField() const { return m_url; }
    QLineEdit* userField() const { return m_user; }
    QLineEdit* passwordField() const { return m_password; }
    /// Moves the stepper by delta addresses.
    void step(int delta);

private:
    void refresh();
    void urlEdited();
    void userEdited();
    void passwordEdited();

    MyOLVController& m_library;
    Node* m_node = nullptr;
    int m_index = 0;
    QToolButton* m_previous;
    QToolButton* m_next;
    QLabel* m_label;
    QLineEdit* m_url;
    QLineEdit* m_user;
    QLineEdit* m_password;
};

/// The station's recording-style preset and the button that opens it.
class RecordingStyleView : public QWidget
{
    Q_OBJECT
public:
    RecordingStyleView(MyOLVController& library, PresetsController& presets,
                       QWidget* parent = nullptr);
    void setNode(Node* node);
    QComboBox* presetPopUp() const { return m_popUp; }
    QPushButton* openButton() const { return m_open; }
    /// What the station's splits learned of when its titles change, and its reset.
    QLabel* splitOffsetLabel() const { return m_offset; }
    QPushButton* forgetOffsetButton() const { return m_forgetOffset; }

signals:
    /// The user wants to see the preset (the presets window opens it).
    void openPresetRequested(const QString& presetID);

private:
    void refresh();
    void presetChosen(int index);
    void forgetOffset();

    MyOLVController& m_library;
    PresetsController& m_presets;
    Node* m_node = nullptr;
    QComboBox* m_popUp;
    QPushButton* m_open;
    QLabel* m_offset;
    QPushButton* m_forgetOffset;
    bool m_filling = false;
};

class DetailDrawer : public QWidget
{
    Q_OBJECT
public:
    enum class View { Schedule, RecordingStyle, EditURL };

    DetailDrawer(MyOLVController& library, PresetsController& presets, QWidget* parent = nullptr);

    /// Opens the drawer with view, or closes it when it shows view already.
    void toggle(View view);
    void close();
    bool isOpen() const { return isVisible(); }
    View currentView() const { return m_view; }
    /// The station whose details are shown; nullptr closes the drawer.
    void setNode(Node* node);
    /// Shows what changed in the station.
    void refresh();

    EditURLView* editURLView() const { return m_editURL; }
    RecordingStyleView* recordingStyleView() const { return m_style; }
    TimerController* scheduleView() const { return m_schedule; }

private:
    QStackedWidget* m_stack;
    QLabel* m_title;
    EditURLView* m_editURL;
    RecordingStyleView* m_style;
    TimerController* m_schedule;
    Node* m_node = nullptr;
    View m_view = View::EditURL;
};

} // namespace orvanta::ui
