// The desktop's media controls drive Orvanta as they would on a desktop: playerctl and gdbus
// against the program on a session bus of the test's own, the built-in player playing into
// a null sound server.

#include "WindowTestSupport.h"

#include "BuiltInPlayer.h"
#include "MediaControls.h"
#include "MprisService.h"
#include "NullSoundServer.h"
#include "PrivateBus.h"

#include <QProcess>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

class MprisTest : public WindowTest
{
protected:
    void SetUp() override
    {
        const QString address = m_bus.address();
        ASSERT_FALSE(address.isEmpty()) << "dbus-daemon did not start";
        // Only the program's media controls and the commands use this bus: the sound stack's
        // own session connection (GLib's, which ends the process when its bus closes) stays
        // away from it.
        desktopOptions.mediaControlsBus = address;
        m_commands.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    }
    void TearDown() override
    {
        if (desktop)
            desktop->core().shutDown();
        desktop.reset(); // off the bus before the bus goes
    }

    /// A command's output, the program answering the bus meanwhile (a blocking wait would
    /// leave the command waiting for it).
    std::string run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.setProcessEnvironment(m_commands);
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForStarted(5000)) << program.toStdString();
        EXPECT_TRUE(spinUntil([&] { return process.state() == QProcess::NotRunning; }, 10s))
            << program.toStdString() << " " << arguments.join(' ').toStdString();
        const QString errors = QString::fromUtf8(process.readAllStandardError()).trimmed();
        EXPECT_TRUE(errors.isEmpty())
            << program.toStdString() << " " << arguments.join(' ').toStdString() << ": "
            << errors.toStdString();
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed().toStdString();
    }
    std::string playerctl(const QStringList& arguments)
    {
        return run(QStringLiteral("playerctl"),
                   QStringList{QStringLiteral("-p"), QStringLiteral("orvanta")} + arguments);
    }

    PrivateBus m_bus;
    QProcessEnvironment m_commands = QProcessEnvironment::systemEnvironment();
};

} // namespace

TEST_F(MprisTest, PlayerctlShowsTheStationAndSongAndPlaysPausesAndSwitchesStations)
{
    NullSoundServer sound(m_dir);
    ASSERT_TRUE(sound.ready()) << "the sound server did not start";
    const IcyMount mount = playableMount({{0, "Artist One - First Song"}});
    server.addMount("/live", mount);
    server.addMount("/other", mount);
    prefs->setPrefs(Value(static_cast<std::int64_t>(unusedLoopbackPort())), prefs::kRelayPort);
    prefs->setPrefs(Value(0), prefs::kListenWithApplication); // the built-in player
    prefs->setPrefs(Value(0), prefs::kListenBufferMinutes);   // played straight from the station
    start();
    ASSERT_NE(desktop->mpris(), nullptr);
    ASSERT_TRUE(desktop->mpris()->registered());
    Node* live = station("Live", server.url("/live"));
    Node* other = station("Other", server.url("/other"));

    EXPECT_EQ(
        run(QStringLiteral("gdbus"),
            {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
             QStringLiteral("org.mpris.MediaPlayer2.orvanta"), QStringLiteral("--object-path"),
             QStringLiteral("/org/mpris/MediaPlayer2"), QStringLiteral("--method"),
             QStringLiteral("org.freedesktop.DBus.Properties.Get"),
             QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Identity")}),
        "(<'Orvanta'>,)");
    EXPECT_EQ(playerctl({QStringLiteral("status")}), "Stopped");

    // What follows the player hears of each change (PropertiesChanged), not only what it asks.
    QProcess follow;
    follow.setProcessEnvironment(m_commands);
    follow.start(QStringLiteral("playerctl"),
                 {QStringLiteral("-p"), QStringLiteral("orvanta"), QStringLiteral("status"),
                  QStringLiteral("--follow")});
    ASSERT_TRUE(follow.waitForStarted(5000));
    QString followed;
    auto heard = [&](const char* status) {
        return spinUntil(
            [&] {
                followed += QString::fromUtf8(follow.readAllStandardOutput());
                return followed.contains(QLatin1String(status));
            },
            5s);
    };
    EXPECT_TRUE(heard("Stopped"));

    // A recording heard through the relay: its song in its own fields, the station as album,
    // its logo (from the directory) as the art.
    live->setProperty(Value("https://logos.example/live.png"), np::NP_LOGO_URL);
    list().selectNodes({live});
    ASSERT_TRUE(controller().startRecordingForNode(live, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return controller().currentSongOf(live) != ""; }, 10s));
    playerctl({QStringLiteral("play")});
    ASSERT_TRUE(spinUntil([&] { return controller().playingNode() == live; }, 5s));
    EXPECT_TRUE(spinUntil(
        [&] {
            return playerctl({QStringLiteral("metadata"), QStringLiteral("--format"),
                              QStringLiteral("{{artist}}|{{title}}|{{album}}|{{xesam:comment}}|{{"
                                             "mpris:artUrl}}")}) ==
                   "Artist One|First Song|Live|Recording|https://logos.example/live.png";
        },
        5s));
    EXPECT_EQ(playerctl({QStringLiteral("status")}), "Playing");
    EXPECT_TRUE(heard("Playing")) << followed.toStdString();
    follow.kill();
    follow.waitForFinished(5000);

    // Next: the next station of the list plays, and the window shows it.
    playerctl({QStringLiteral("next")});
    ASSERT_TRUE(spinUntil([&] { return controller().playingNode() == other; }, 5s));
    EXPECT_EQ(controller().visibleNode(), other);
    EXPECT_TRUE(desktop->frontEnd().player().isPlaying());
    EXPECT_EQ(playerctl({QStringLiteral("metadata"), QStringLiteral("--format"),
                         QStringLiteral("{{xesam:album}}|{{mpris:artUrl}}")}),
              "Other|");

    // Paused, the station stays on offer; Play takes it up again.
    playerctl({QStringLiteral("pause")});
    EXPECT_TRUE(spinUntil([&] { return playerctl({QStringLiteral("status")}) == "Paused"; }, 5s));
    EXPECT_EQ(controller().playingNode(), nullptr);
    EXPECT_FALSE(desktop->frontEnd().player().isPlaying());
    playerctl({QStringLiteral("play")});
    EXPECT_TRUE(spinUntil([&] { return controller().playingNode() == other; }, 5s));
    playerctl({QStringLiteral("previous")});
    EXPECT_TRUE(spinUntil([&] { return controller().playingNode() == live; }, 5s));

    playerctl({QStringLiteral("volume"), QStringLiteral("0.25")});
    EXPECT_TRUE(spinUntil(
        [&] { return std::abs(desktop->frontEnd().player().volume() - 0.25f) < 0.01f; }, 5s));
    playerctl({QStringLiteral("stop")});
    EXPECT_TRUE(spinUntil([&] { return playerctl({QStringLiteral("status")}) == "Stopped"; }, 5s));
    EXPECT_TRUE(live->isRecording()) << "stopping what is heard leaves the recording running";
}
