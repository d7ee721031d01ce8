#pragma once

// The main window's toolbar: the items of ToolbarLayout in the order the user chose, the
// control view (record, skip, listen, show music) and the tuner view (station import with
// its progress indicator). Its context menu opens the customisation, whose result is
// stored in the preferences at once and restored at the next start.
//
// Ownership: the actions of the other items belong to the main window. Thread: main.

#include "FrontEnd.h"

#include <QHash>
#include <QToolBar>

#include <vector>

class QMenu;
class QProgressBar;
class QToolButton;
class QSlider;
class QWidgetAction;

namespace orvanta {
class PrefsController;
}

namespace orvanta::ui {

class MainToolbar : public QToolBar
{
    Q_OBJECT
public:
    /// The preference key of the saved item list (identifiers in order) and of the labels.
    static constexpr const char* kConfigurationKey = "NSToolbar Configuration MYTOOLBARIDENTIFIER3";
    static constexpr const char* kShowLabelsKey = "ToolbarShowsLabels";

    MainToolbar(PrefsController& prefs, QWidget* parent = nullptr);

    /// The action of an item that sends a command (add stream, delete, ...).
    void setItemAction(const QString& identifier, QAction* action);
    /// The controls' commands.
    void setControlActions(QAction* record, QAction* skip, QAction* listen, QAction* showMusic);
    /// The tuner control's menu (its entries are the main window's).
    void setTunerMenu(QMenu* menu);

    /// Shows the record/stop, skip, listen and show-music buttons as state says.
    void applyState(const ToolbarState& state);
    void setImportInProgress(bool running);
    bool importIndicatorRunning() const;

    /// The identifiers shown, in order.
    QStringList shownItems() const { return m_items; }
    /// Shows these items (unknown ones dropped) and stores the choice.
    void setShownItems(const QStringList& items);
    void setShowsLabels(bool shows);
    bool showsLabels() const { return m_showsLabels; }
    /// Opens the customisation dialog.
    void customize();

    QToolButton* recordButton() const { return m_record; }
    QToolButton* skipButton() const { return m_skip; }
    QToolButton* listenButton() const { return m_listen; }
    QToolButton* showMusicButton() const { return m_showMusic; }
    QSlider* volumeSlider() const { return m_volume; }

signals:
    void volumeChanged(float volume);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void rebuild();
    QToolButton* controlButton(const QString& name);

    PrefsController& m_prefs;
    QStringList m_items;
    bool m_showsLabels = false;
    QHash<QString, QAction*> m_actions;
    QWidget* m_controlView;
    QWidget* m_tunerView;
    QWidgetAction* m_controlAction = nullptr;
    QWidgetAction* m_tunerAction = nullptr;
    std::vector<QAction*> m_spacing; // separators and spaces of the current layout
    QToolButton* m_record;
    QToolButton* m_skip;
    QToolButton* m_listen;
    QToolButton* m_showMusic;
    QSlider* m_volume;
    QToolButton* m_tuner;
    QProgressBar* m_tunerProgress;
    ToolbarState m_state;
};

} // namespace orvanta::ui
