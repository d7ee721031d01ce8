#include "TrayIcon.h"

#include "IconLibrary.h"
#include "MainController.h"
#include "MyOLVController.h"
#include "Node.h"

#include <algorithm>

namespace orvanta::ui {

namespace {
constexpr int kPollMilliseconds = 1000;
}

TrayIcon::TrayIcon(MainController& controller, MyOLVController& library, QObject* parent)
    : QObject(parent), m_controller(controller), m_library(library)
{
    m_icon.setContextMenu(&m_menu);
    connect(&m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    emit showRequested(nullptr);
            });
    // Recordings start and end on their own (schedules, failures): looked at as often as
    // the status display looks.
    m_poll.setInterval(kPollMilliseconds);
    connect(&m_poll, &QTimer::timeout, this, &TrayIcon::refresh);
    m_poll.start();
    refresh();
    if (available())
        m_icon.show();
}

void TrayIcon::refresh()
{
    std::vector<Node*> recording = m_library.getAllStreams();
    std::erase_if(recording, [](const Node* node) { return !node->isRecording(); });
    if (m_built && recording == m_recording)
        return;
    m_recording = std::move(recording);
    const auto count = static_cast<int>(m_recording.size());
    m_icon.setIcon(
        iconNamed(count > 0 ? QStringLiteral("media-record") : QStringLiteral("orvanta")));
    m_icon.setToolTip(count > 0 ? tr("Orvanta: recording %n station(s)", nullptr, count)
                                : tr("Orvanta"));
    rebuildMenu();
}

void TrayIcon::rebuildMenu()
{
    m_built = true;
    m_menu.clear();
    if (m_recording.empty()) {
        m_menu.addAction(tr("Nothing is recording"))->setEnabled(false);
    } else {
        for (Node* node : m_recording) {
            QAction* entry = m_menu.addAction(iconNamed(QStringLiteral("dot-recording")),
                                              QString::fromStdString(node->name()));
            const std::weak_ptr<Node> station = node->weak_from_this();
            connect(entry, &QAction::triggered, this, [this, station] {
                if (const auto shown = station.lock())
                    emit showRequested(shown.get());
            });
        }
    }
    m_menu.addSeparator();
    QAction* stopAll =
        m_menu.addAction(iconNamed(QStringLiteral("media-playback-stop")), tr("Stop All"));
    stopAll->setEnabled(!m_recording.empty());
    connect(stopAll, &QAction::triggered, this, [this] {
        m_controller.stopRecordingForAllWithAlertMessage(std::nullopt);
        refresh();
    });
    connect(m_menu.addAction(tr("Show Orvanta")), &QAction::triggered, this,
            [this] { emit showRequested(nullptr); });
    m_menu.addSeparator();
    connect(m_menu.addAction(tr("Quit")), &QAction::triggered, this,
            [this] { emit quitRequested(); });
}

} // namespace orvanta::ui
