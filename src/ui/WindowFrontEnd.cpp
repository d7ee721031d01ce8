#include "WindowFrontEnd.h"

#include "QtStrings.h"

#include "Log.h"
#include "MainWindow.h"
#include "Node.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace orvanta::ui {

WindowFrontEnd::WindowFrontEnd(const PreferencesReader& prefs)
    : m_player(prefs), m_notifier(std::make_unique<DesktopNotifier>())
{}

WindowFrontEnd::~WindowFrontEnd() = default;

void WindowFrontEnd::attach(MainWindow* window)
{
    m_window = window;
    connect(&m_player, &BuiltInPlayer::playingChanged, this, [this] { updateToolbarControls(); });
}

void WindowFrontEnd::reloadItem(Node* node)
{
    if (m_window)
        m_window->reloadItem(node);
}

void WindowFrontEnd::updateToolbarControls()
{
    if (m_window)
        m_window->updateToolbarControls();
}

void WindowFrontEnd::setStatusLines(const StatusLines& lines)
{
    if (m_window)
        m_window->setStatusLines(lines);
}

void WindowFrontEnd::historyNeedsDisplay()
{
    if (m_window)
        m_window->historyNeedsDisplay();
}

void WindowFrontEnd::updateDetailDrawerView()
{
    if (m_window)
        m_window->updateDetailDrawerView();
}

void WindowFrontEnd::updateTimerViewWithNode(Node* node)
{
    if (m_window)
        m_window->updateTimerViewWithNode(node);
}

void WindowFrontEnd::scheduledRecordingFailed(Node* node, const std::string& alert)
{
    // Told even with the window in front: a schedule usually runs with nobody watching the
    // row, and the core says it once per window.
    if (node && m_notifier)
        m_notifier->notify(tr("Scheduled recording of %1 could not start").arg(qs(node->name())),
                           qs(alert));
}

void WindowFrontEnd::heardAudioSaved(const std::string& path)
{
    if (m_notifier)
        m_notifier->notify(tr("Saved what was heard"), qs(path));
}

bool WindowFrontEnd::startBuiltInPlayer(const std::string& playlistText)
{
    return m_player.play(playlistText);
}

void WindowFrontEnd::stopBuiltInPlayer()
{
    m_player.stop();
}

bool WindowFrontEnd::builtInPlayerIsPlaying() const
{
    return m_player.isPlaying();
}

void WindowFrontEnd::showAlert(const Alert& alert)
{
    logMessage("Alert", alert.title + " : " + alert.message);
    m_pending.push_back(alert);
    // Shown from the event loop, after the core's current work is done: the core never
    // waits for a dialog, and no dialog's loop runs inside its notification handling.
    if (!m_showing)
        QTimer::singleShot(0, this, &WindowFrontEnd::showNextAlert);
}

void WindowFrontEnd::showNextAlert()
{
    if (m_showing || m_pending.empty())
        return;
    const Alert alert = m_pending.front();
    m_pending.pop_front();
    m_showing = true;
    m_shown.push_back(qs(alert.title + ": " + alert.message));
    auto* box =
        new QMessageBox(alert.fatal ? QMessageBox::Critical : QMessageBox::Warning, qs(alert.title),
                        qs(alert.message), QMessageBox::NoButton, m_window.data());
    box->setObjectName(QStringLiteral("alertPanel"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (alert.quit)
        box->addButton(tr("Quit"), QMessageBox::AcceptRole);
    else
        box->addButton(QMessageBox::Ok);
    // Fatal alerts block the window until they are read; others leave it usable.
    box->setWindowModality(alert.fatal ? Qt::ApplicationModal : Qt::NonModal);
    connect(box, &QMessageBox::finished, this, [this, quit = alert.quit] {
        m_showing = false;
        if (quit && m_quit) {
            m_quit();
            return;
        }
        if (!m_pending.empty())
            QTimer::singleShot(0, this, &WindowFrontEnd::showNextAlert);
    });
    box->open();
}

bool WindowFrontEnd::askQuestion(const std::string& title, const std::string& message,
                                 const std::string& defaultButton,
                                 const std::string& alternateButton)
{
    // Asked when the user quits, outside the core's notification handling.
    QMessageBox box(QMessageBox::Question, qs(title), qs(message), QMessageBox::NoButton,
                    m_window.data());
    box.setObjectName(QStringLiteral("quitQuestion"));
    QPushButton* yes = box.addButton(qs(defaultButton), QMessageBox::AcceptRole);
    box.addButton(qs(alternateButton), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes;
}

std::vector<Node*> WindowFrontEnd::expandedGroups() const
{
    return m_window ? m_window->expandedGroups() : std::vector<Node*>{};
}

void WindowFrontEnd::recordingEndedWithAlert(Node* node, const std::string& alert)
{
    // The window shows it already when the user looks at it.
    if (!node || alert.empty() || (m_window && m_window->isActiveWindow()) || !m_notifier)
        return;
    m_notifier->notify(tr("Recording of %1 ended").arg(qs(node->name())), qs(alert));
}

void WindowFrontEnd::setImportInProgress(bool running)
{
    if (m_window)
        m_window->setImportInProgress(running);
}

} // namespace orvanta::ui
