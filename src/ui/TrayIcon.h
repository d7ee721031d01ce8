#pragma once

// Orvanta in the desktop's tray (StatusNotifierItem, through QSystemTrayIcon): an icon that
// shows whether anything records, and a menu with the stations recording (each shows its
// station in the window), Stop All, Show Orvanta and Quit. With "Keep recording in the tray
// when the window is closed" the window hides instead of quitting, and the tray brings it
// back.
//
// Thread: main.

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

#include <vector>

namespace orvanta {
class MainController;
class MyOLVController;
class Node;
} // namespace orvanta

namespace orvanta::ui {

class TrayIcon : public QObject
{
    Q_OBJECT
public:
    TrayIcon(MainController& controller, MyOLVController& library, QObject* parent = nullptr);

    /// Whether the desktop shows a tray at all.
    static bool available() { return QSystemTrayIcon::isSystemTrayAvailable(); }
    QMenu* menu() { return &m_menu; }
    QSystemTrayIcon& icon() { return m_icon; }
    /// The icon and the menu as the recordings are now.
    void refresh();

signals:
    /// Show the window (with station selected, when there is one).
    void showRequested(Node* station);
    void quitRequested();

private:
    void rebuildMenu();

    MainController& m_controller;
    MyOLVController& m_library;
    QSystemTrayIcon m_icon;
    QMenu m_menu;
    QTimer m_poll;
    std::vector<Node*> m_recording; // as the menu shows them
    bool m_built = false;
};

} // namespace orvanta::ui
