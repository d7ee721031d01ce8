#include "PreferencesWindow.h"

#include "QtStrings.h"

#include "FileManagerExtensions.h"
#include "Localization.h"
#include "MainController.h"
#include "NodePropertyKeys.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "RelayThread.h"
#include "TrackNaming.h"
#include "TrayIcon.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QVBoxLayout>

namespace orvanta::ui {

namespace {

struct LayoutBit
{
    int bit;
    const char* label;
};

constexpr LayoutBit kLayoutBits[] = {
    {prefs::kLayoutGenre, QT_TRANSLATE_NOOP("orvanta::ui::PreferencesWindow", "Genre")},
    {prefs::kLayoutStream,
     QT_TRANSLATE_NOOP("orvanta::ui::PreferencesWindow", "Station name and bitrate")},
    {prefs::kLayoutScheduledName,
     QT_TRANSLATE_NOOP("orvanta::ui::PreferencesWindow", "Scheduled recording's name")},
    {prefs::kLayoutArtist, QT_TRANSLATE_NOOP("orvanta::ui::PreferencesWindow", "Artist")},
    {prefs::kLayoutAlbum, QT_TRANSLATE_NOOP("orvanta::ui::PreferencesWindow", "Album")},
    {prefs::kLayoutDay, QT_TRANSLATE_NOOP("orvanta::ui::PreferencesWindow", "Day")},
    {prefs::kLayoutTime,
     QT_TRANSLATE_NOOP("orvanta::ui::PreferencesWindow", "Time of the recording")},
};

// The desktop's network settings, where the firewall can be opened for the relay port.
struct SettingsProgram
{
    const char* program;
    QStringList arguments;
};
std::optional<SettingsProgram> networkSettingsProgram()
{
    const SettingsProgram candidates[] = {
        {"gnome-control-center", {QStringLiteral("network")}},
        {"kcmshell6", {QStringLiteral("kcm_networkmanagement")}},
        {"kcmshell5", {QStringLiteral("kcm_networkmanagement")}},
        {"nm-connection-editor", {}},
    };
    for (const SettingsProgram& candidate : candidates) {
        if (!QStandardPaths::findExecutable(QString::fromLatin1(candidate.program)).isEmpty())
            return candidate;
    }
    return std::nullopt;
}

constexpr const char* kNoProxy = QT_TRANSLATE_NOOP("Orvanta", "No proxy set");

} // namespace

PreferencesWindow::PreferencesWindow(PrefsController& prefs, MainController& controller,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window), m_prefs(prefs), m_controller(controller),
      m_pages(new QTabWidget(this))
{
    setObjectName(QStringLiteral("preferencesWindow"));
    setWindowTitle(tr("Orvanta Preferences"));
    m_pages->addTab(recordingPage(), tr("Recording"));
    m_pages->addTab(foldersPage(), tr("Folders"));
    m_pages->addTab(networkPage(), tr("Network"));
    m_pages->addTab(listeningPage(), tr("Listening"));
    m_pages->addTab(schedulesPage(), tr("Schedules"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    const Value geometry = m_prefs.getPrefsForKey(kGeometryKey);
    if (geometry.isData()) {
        const Bytes& bytes = geometry.toData();
        restoreGeometry(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<qsizetype>(bytes.size())));
    }
    reload();
}

QCheckBox* PreferencesWindow::boolControl(const char* key, const QString& text)
{
    auto* box = new QCheckBox(text, this);
    box->setObjectName(QString::fromLatin1(key));
    connect(box, &QCheckBox::toggled, this, [this, box, key](bool on) {
        if (m_loading)
            return;
        m_prefs.setPrefs(Value(on), key);
        if (std::string_view(key) == prefs::kWakeFromSleep) {
            // Turned on, the helper is set up (the user may say later); off, it is removed.
            m_controller.toggleWakeFromSleep();
            const bool kept = m_prefs.boolForKey(prefs::kWakeFromSleep);
            if (kept != on) {
                m_loading = true;
                box->setChecked(kept);
                m_loading = false;
            }
        }
        updateEnabling();
    });
    m_checkBoxes.emplace_back(QString::fromLatin1(key), box);
    return box;
}

QSpinBox* PreferencesWindow::numberControl(const char* key, int minimum, int maximum,
                                           const QString& suffix)
{
    auto* field = new QSpinBox(this);
    field->setObjectName(QString::fromLatin1(key));
    field->setRange(minimum, maximum);
    field->setSuffix(suffix);
    field->setAccelerated(true);
    connect(field, &QSpinBox::editingFinished, this, [this, field, key] {
        controlTextDidEndEditing(field);
        if (!m_loading)
            m_prefs.setPrefs(Value(static_cast<std::int64_t>(field->value())), key);
    });
    m_spinBoxes.emplace_back(QString::fromLatin1(key), field);
    return field;
}

QWidget* PreferencesWindow::recordingPage()
{
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    form->addRow(boolControl(prefs::kUseID3v1.data(), tr("Tag files with ID3v1 instead of ID3v2")));
    form->addRow(boolControl(prefs::kReplaceStreamName.data(),
                             tr("Name stations as their streams announce themselves")));
    form->addRow(boolControl(prefs::kIgnoreDuplicateRecordings.data(),
                             tr("Drop songs already recorded from a station")));
    auto* small = new QHBoxLayout;
    small->addWidget(boolControl(prefs::kIgnoreFileSize.data(), tr("Drop files smaller than")));
    small->addWidget(numberControl(prefs::kIgnoreFileSizeKB.data(), 1, 1024 * 1024, tr(" KB")));
    small->addStretch();
    form->addRow(small);
    form->addRow(
        boolControl(prefs::kDiskSpaceSafety.data(), tr("Stop recording before the disc is full")));
    form->addRow(
        boolControl(prefs::kMilitaryTimeInFilenames.data(), tr("24-hour times in file names")));
    form->addRow(
        boolControl(prefs::kPlaylistDeleteSource.data(),
                    tr("Move files into the music library when adding them to a playlist")));
    // The streams as received, so that a cut can be moved afterwards.
    auto* journal = new QHBoxLayout;
    journal->addWidget(new QLabel(tr("Keep the streams as received for"), this));
    QSpinBox* days = numberControl(prefs::kJournalDays.data(), 0, 365, tr(" days"));
    days->setAccessibleName(tr("Days the streams are kept"));
    journal->addWidget(days);
    journal->addWidget(new QLabel(tr("within"), this));
    QSpinBox* budget = numberControl(prefs::kJournalBudgetMB.data(), 0, 1024 * 1024, tr(" MiB"));
    budget->setAccessibleName(tr("Disc space for the kept streams"));
    journal->addWidget(budget);
    journal->addStretch();
    for (QSpinBox* field : {days, budget})
        field->setToolTip(tr("A cut a moment off can then be moved afterwards; the oldest go "
                             "first, and 0 keeps none."));
    form->addRow(journal);
    QCheckBox* tray = boolControl(prefs::kKeepRecordingInTray.data(),
                                  tr("Keep recording in the tray when the window is closed"));
    form->addRow(tray);
    if (!TrayIcon::available()) {
        tray->setEnabled(false);
        auto* why = new QLabel(
            tr("This desktop shows no tray, so closing the window quits Orvanta."), this);
        why->setObjectName(QStringLiteral("trayUnavailable"));
        why->setWordWrap(true);
        form->addRow(why);
    }
    return page;
}

QWidget* PreferencesWindow::foldersPage()
{
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    auto* folder = new QHBoxLayout;
    m_downloadPath = new QLineEdit(this);
    m_downloadPath->setObjectName(QStringLiteral("downloadPathPopUp"));
    m_downloadPath->setReadOnly(true);
    m_downloadPath->setAccessibleName(tr("Folder for the recordings"));
    auto* choose = new QPushButton(tr("Choose..."), this);
    choose->setObjectName(QStringLiteral("chooseDownloadPath"));
    connect(choose, &QPushButton::clicked, this, &PreferencesWindow::doSelectDownloadPath);
    folder->addWidget(new QLabel(tr("Recordings go to:"), this));
    folder->addWidget(m_downloadPath, 1);
    folder->addWidget(choose);
    column->addLayout(folder);
    m_downloadProblem = new QLabel(this);
    m_downloadProblem->setObjectName(QStringLiteral("downloadPathProblem"));
    m_downloadProblem->setStyleSheet(QStringLiteral("color: #c01c28;"));
    m_downloadProblem->setWordWrap(true);
    m_downloadProblem->hide();
    column->addWidget(m_downloadProblem);

    auto layoutGroup = [this](bool scheduled) {
        auto* group = new QGroupBox(
            scheduled ? tr("Folders of scheduled recordings") : tr("Folders of recordings"), this);
        auto* boxes = new QVBoxLayout(group);
        auto& list = scheduled ? m_scheduledLayout : m_layout;
        for (const LayoutBit& bit : kLayoutBits) {
            if (!scheduled && bit.bit == prefs::kLayoutScheduledName)
                continue;
            auto* box = new QCheckBox(tr(bit.label), group);
            box->setObjectName(QStringLiteral("%1Layout%2").arg(scheduled ? "s" : "").arg(bit.bit));
            connect(box, &QCheckBox::toggled, this, [this] {
                if (!m_loading)
                    doUpdateLayoutDefaults();
            });
            boxes->addWidget(box);
            list.emplace_back(bit.bit, box);
        }
        auto* example = new QLabel(group);
        example->setObjectName(scheduled ? QStringLiteral("scheduledLayoutExample")
                                         : QStringLiteral("layoutExample"));
        example->setWordWrap(true);
        example->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont smaller = example->font();
        smaller.setPointSizeF(smaller.pointSizeF() * 0.9);
        example->setFont(smaller);
        boxes->addWidget(example);
        (scheduled ? m_scheduledExample : m_example) = example;
        return group;
    };
    auto* groups = new QHBoxLayout;
    groups->addWidget(layoutGroup(false));
    groups->addWidget(layoutGroup(true));
    column->addLayout(groups);
    column->addStretch();
    return page;
}

QWidget* PreferencesWindow::networkPage()
{
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    m_useProxy = new QCheckBox(tr("Use this proxy:"), this);
    m_useProxy->setObjectName(QStringLiteral("useproxy"));
    m_proxyHost = new QLineEdit(this);
    m_proxyHost->setObjectName(QStringLiteral("proxyhost"));
    m_proxyHost->setPlaceholderText(tr("host name or address"));
    m_proxyHost->setAccessibleName(tr("Proxy host"));
    m_proxyPort = new QSpinBox(this);
    m_proxyPort->setObjectName(QStringLiteral("proxyport"));
    m_proxyPort->setRange(1, 65535);
    m_proxyPort->setAccessibleName(tr("Proxy port"));
    auto* proxy = new QHBoxLayout;
    proxy->addWidget(m_proxyHost, 1);
    proxy->addWidget(new QLabel(tr("port"), this));
    proxy->addWidget(m_proxyPort);
    form->addRow(m_useProxy, proxy);
    m_proxyProblem = new QLabel(this);
    m_proxyProblem->setObjectName(QStringLiteral("proxyProblem"));
    m_proxyProblem->setStyleSheet(QStringLiteral("color: #c01c28;"));
    m_proxyProblem->hide();
    form->addRow(m_proxyProblem);
    connect(m_useProxy, &QCheckBox::toggled, this, [this] { storeProxy(); });
    connect(m_proxyHost, &QLineEdit::editingFinished, this, [this] { storeProxy(); });
    connect(m_proxyPort, &QSpinBox::editingFinished, this, [this] {
        controlTextDidEndEditing(m_proxyPort);
        storeProxy();
    });

    auto* slow = new QHBoxLayout;
    slow->addWidget(boolControl(prefs::kLowSpeedDisconnect.data(),
                                tr("Give up on a station that sends nothing for")));
    slow->addWidget(numberControl(prefs::kLowSpeedLimitSeconds.data(), 1, 3600, tr(" s")));
    slow->addStretch();
    form->addRow(slow);
    auto* again = new QHBoxLayout;
    again->addWidget(
        boolControl(prefs::kAutoReconnect.data(), tr("Reconnect after a failure, waiting")));
    again->addWidget(numberControl(prefs::kAutoReconnectWaitSeconds.data(), 0, 3600, tr(" s")));
    again->addStretch();
    form->addRow(again);

    // Where Find Stations searches; empty: the public directory, found by name.
    m_stationDirectory = new QLineEdit(this);
    m_stationDirectory->setObjectName(QStringLiteral("stationdirectory"));
    m_stationDirectory->setPlaceholderText(tr("the public station directory"));
    m_stationDirectory->setAccessibleName(tr("Station directory"));
    m_stationDirectory->setClearButtonEnabled(true);
    form->addRow(tr("Station directory:"), m_stationDirectory);
    connect(m_stationDirectory, &QLineEdit::editingFinished, this, [this] {
        const QString address = m_stationDirectory->text().trimmed();
        const bool web = address.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
                         address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
        if (address.isEmpty() || web)
            m_prefs.setPrefs(Value(address.toStdString()), prefs::kStationDirectory);
        else // only web addresses are asked; the stored one stays
            m_stationDirectory->setText(qs(m_prefs.stringForKey(prefs::kStationDirectory)));
    });
    return page;
}

QWidget* PreferencesWindow::listeningPage()
{
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    m_player = new QComboBox(this);
    m_player->setObjectName(QStringLiteral("listenWithApplication"));
    m_player->addItem(tr("Orvanta's own player"), 0);
    m_player->addItem(tr("My music player"), 1);
    connect(m_player, qOverload<int>(&QComboBox::activated), this, [this] {
        if (!m_loading)
            m_prefs.setPrefs(Value(static_cast<std::int64_t>(m_player->currentData().toInt())),
                             prefs::kListenWithApplication);
    });
    form->addRow(tr("Listen with:"), m_player);
    m_relayPort = new QSpinBox(this);
    m_relayPort->setObjectName(QStringLiteral("listenPortTextField"));
    m_relayPort->setRange(1, 65535);
    m_relayPort->setAccessibleName(tr("Relay port"));
    connect(m_relayPort, &QSpinBox::editingFinished, this, &PreferencesWindow::doNewRelayPort);
    form->addRow(tr("Relay port on this computer:"), m_relayPort);
    // Heard through Orvanta, a station can be recorded from the song's start.
    QSpinBox* heard = numberControl(prefs::kListenBufferMinutes.data(), 0, 60, tr(" minutes"));
    heard->setAccessibleName(tr("Minutes kept of what is heard"));
    heard->setToolTip(tr("Record then starts at the beginning of the song playing, and "
                         "the last minutes can be saved; 0 keeps nothing."));
    form->addRow(tr("Keep what was heard for:"), heard);
    m_searchPorts = boolControl(prefs::kSearchPorts.data(),
                                tr("When the port is busy, take the next free one"));
    form->addRow(m_searchPorts);
    m_networkSettings = new QPushButton(tr("Network Settings..."), this);
    m_networkSettings->setObjectName(QStringLiteral("networkSettings"));
    m_networkSettings->setToolTip(tr("Players on this computer reach the relay directly; "
                                     "a firewall only matters for others"));
    m_networkSettings->setVisible(networkSettingsProgram().has_value());
    connect(m_networkSettings, &QPushButton::clicked, this,
            &PreferencesWindow::doLaunchSharingPrefPane);
    form->addRow(m_networkSettings);
    return page;
}

QWidget* PreferencesWindow::schedulesPage()
{
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    form->addRow(boolControl(prefs::kWakeFromSleep.data(),
                             tr("Wake the computer for scheduled recordings")));
    form->addRow(boolControl(prefs::kWakeFromSleepWarnIfQuitting.data(),
                             tr("Ask before quitting when a recording is due within a day")));
    return page;
}

void PreferencesWindow::reload()
{
    m_loading = true;
    for (auto& [key, box] : m_checkBoxes)
        box->setChecked(m_prefs.boolForKey(key.toStdString()));
    for (auto& [key, field] : m_spinBoxes)
        field->setValue(static_cast<int>(m_prefs.integerForKey(key.toStdString())));
    m_downloadPath->setText(qs(m_prefs.stringForKey(prefs::kDownloadPath)));
    m_stationDirectory->setText(qs(m_prefs.stringForKey(prefs::kStationDirectory)));
    const std::int64_t layout = m_prefs.integerForKey(prefs::kDirLayout);
    const std::int64_t scheduled = m_prefs.integerForKey(prefs::kScheduledDirLayout);
    for (auto& [bit, box] : m_layout)
        box->setChecked((layout & bit) != 0);
    for (auto& [bit, box] : m_scheduledLayout)
        box->setChecked((scheduled & bit) != 0);
    m_relayPort->setValue(static_cast<int>(
        std::clamp<std::int64_t>(m_prefs.integerForKey(prefs::kRelayPort), 1, 65535)));
    m_useProxy->setChecked(m_prefs.boolForKey(prefs::kUseProxy));
    const std::string host = m_prefs.stringForKey(prefs::kProxyHost);
    m_proxyHost->setText(host == localizedString(kNoProxy) ? QString() : qs(host));
    m_proxyPort->setValue(static_cast<int>(
        std::clamp<std::int64_t>(m_prefs.integerForKey(prefs::kProxyPort), 1, 65535)));
    m_player->setCurrentIndex(m_prefs.integerForKey(prefs::kListenWithApplication) == 0 ? 0 : 1);
    m_loading = false;
    updateExamples();
    updateEnabling();
}

QCheckBox* PreferencesWindow::layoutBox(bool scheduled, int bit) const
{
    for (const auto& [b, box] : scheduled ? m_scheduledLayout : m_layout)
        if (b == bit)
            return box;
    return nullptr;
}

QCheckBox* PreferencesWindow::checkBox(const char* key) const
{
    for (const auto& [k, box] : m_checkBoxes)
        if (k == QLatin1String(key))
            return box;
    return nullptr;
}

QSpinBox* PreferencesWindow::spinBox(const char* key) const
{
    for (const auto& [k, field] : m_spinBoxes)
        if (k == QLatin1String(key))
            return field;
    return nullptr;
}

void PreferencesWindow::doUpdateLayoutDefaults()
{
    std::int64_t layout = 0;
    std::int64_t scheduled = 0;
    for (const auto& [bit, box] : m_layout)
        layout |= box->isChecked() ? bit : 0;
    for (const auto& [bit, box] : m_scheduledLayout)
        scheduled |= box->isChecked() ? bit : 0;
    m_prefs.setPrefs(Value(layout), prefs::kDirLayout);
    m_prefs.setPrefs(Value(scheduled), prefs::kScheduledDirLayout);
    updateExamples();
}

void PreferencesWindow::updateExamples()
{
    // Where a song would go now, with made-up station and song data.
    for (const bool scheduled : {false, true}) {
        TrackNaming naming(m_prefs);
        naming.icy_name = Orvanta::tr("Radio Example");
        naming.icy_genre = Orvanta::tr("Jazz");
        naming.icy_br = 128;
        naming._sessionName = naming.computeSessionName();
        if (scheduled)
            naming.scheduledRecordingPath = Array{Value(Orvanta::tr("Morning Show"))};
        const Dictionary information{
            {fileinfo::kID3Tags,
             Dictionary{{"TPE1", Orvanta::tr("Artist")}, {"TALB", Orvanta::tr("Album")}}}};
        const QString path = qs(naming.computeRecordingPath(information)) +
                             QStringLiteral("/%1 - %2.mp3").arg(tr("Artist"), tr("Title"));
        layoutExample(scheduled)->setText(tr("For example: %1").arg(path));
    }
}

void PreferencesWindow::doSelectDownloadPath()
{
    auto* chooser =
        new QFileDialog(this, tr("Choose the Folder for Recordings"), m_downloadPath->text());
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setOption(QFileDialog::ShowDirsOnly);
    chooser->setWindowModality(Qt::WindowModal);
    // Only a confirmed choice changes anything.
    connect(chooser, &QFileDialog::fileSelected, this,
            [this](const QString& folder) { chooseDownloadPath(folder); });
    chooser->open();
}

bool PreferencesWindow::chooseDownloadPath(const QString& folder)
{
    if (const auto problem = recordingFolderProblem(folder.toStdString(), false)) {
        m_downloadProblem->setText(qs(*problem));
        m_downloadProblem->show();
        return false;
    }
    m_downloadProblem->hide();
    m_downloadPath->setText(folder);
    m_prefs.setPrefs(Value(folder.toStdString()), prefs::kDownloadPath);
    updateExamples();
    return true;
}

void PreferencesWindow::doNewRelayPort()
{
    controlTextDidEndEditing(m_relayPort);
    const int port = m_relayPort->value();
    if (port == m_prefs.integerForKey(prefs::kRelayPort))
        return;
    // The relay moves now, closing a connected player, which is told to reconnect there.
    if (const auto relay = m_controller.relay())
        relay->changeRelayPort(static_cast<std::uint16_t>(port));
    m_prefs.setPrefs(Value(static_cast<std::int64_t>(port)), prefs::kRelayPort);
}

void PreferencesWindow::controlTextDidEndEditing(QSpinBox* field)
{
    // A spin box left without a number shows the stored value again; what it shows when
    // the user leaves it is always in its range.
    if (field->cleanText().isEmpty()) {
        const QString key = field->objectName() == QLatin1String("listenPortTextField")
                                ? QString::fromLatin1(prefs::kRelayPort.data())
                                : field->objectName();
        m_loading = true;
        field->setValue(static_cast<int>(m_prefs.integerForKey(key.toStdString())));
        m_loading = false;
    }
}

void PreferencesWindow::storeProxy()
{
    if (m_loading)
        return;
    const QString host = m_proxyHost->text().trimmed();
    // A proxy without a host cannot be used: say so instead of storing it.
    if (m_useProxy->isChecked() && host.isEmpty()) {
        m_proxyProblem->setText(tr("Enter the proxy's host name to use it."));
        m_proxyProblem->show();
        m_loading = true;
        m_useProxy->setChecked(false);
        m_loading = false;
        m_prefs.setPrefs(Value(false), prefs::kUseProxy);
        updateEnabling();
        return;
    }
    m_proxyProblem->hide();
    if (!host.isEmpty())
        m_prefs.setPrefs(Value(host.toStdString()), prefs::kProxyHost);
    m_prefs.setPrefs(Value(static_cast<std::int64_t>(m_proxyPort->value())), prefs::kProxyPort);
    m_prefs.setPrefs(Value(m_useProxy->isChecked()), prefs::kUseProxy);
    updateEnabling();
}

void PreferencesWindow::updateEnabling()
{
    spinBox(prefs::kIgnoreFileSizeKB.data())
        ->setEnabled(checkBox(prefs::kIgnoreFileSize.data())->isChecked());
    spinBox(prefs::kLowSpeedLimitSeconds.data())
        ->setEnabled(checkBox(prefs::kLowSpeedDisconnect.data())->isChecked());
    spinBox(prefs::kAutoReconnectWaitSeconds.data())
        ->setEnabled(checkBox(prefs::kAutoReconnect.data())->isChecked());
    checkBox(prefs::kWakeFromSleepWarnIfQuitting.data())
        ->setEnabled(checkBox(prefs::kWakeFromSleep.data())->isChecked());
}

void PreferencesWindow::doLaunchSharingPrefPane()
{
    if (const auto program = networkSettingsProgram())
        QProcess::startDetached(QString::fromLatin1(program->program), program->arguments);
}

void PreferencesWindow::closeEvent(QCloseEvent* event)
{
    const QByteArray geometry = saveGeometry();
    m_prefs.setPrefs(Value(Bytes(geometry.begin(), geometry.end())), kGeometryKey);
    QWidget::closeEvent(event);
}

} // namespace orvanta::ui
