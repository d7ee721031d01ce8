// The built-in player really plays: a sound server with a null output of the test's own,
// a recording of the test server, and the player on the recording's relay, whose position
// must advance.

#include "WindowTestSupport.h"

#include "BuiltInPlayer.h"
#include "NullSoundServer.h"

#include <QMediaPlayer>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

class BuiltInPlayerTest : public WindowTest
{};

} // namespace

TEST(BuiltInPlayerPlaylistTest, TheFirstEntryOfThePlaylistIsPlayed)
{
    EXPECT_EQ(ui::BuiltInPlayer::firstEntryOfPlaylist(
                  "[playlist]\nnumberofentries=1\nFile1=http://127.0.0.1:50505\nTitle1=X\n"),
              QUrl(QStringLiteral("http://127.0.0.1:50505")));
    EXPECT_TRUE(
        ui::BuiltInPlayer::firstEntryOfPlaylist("[playlist]\nnumberofentries=0\n").isEmpty());
    EXPECT_EQ(ui::BuiltInPlayer::firstEntryOfPlaylist("[playlist]\r\nfile1=http://a/ \r\n"),
              QUrl(QStringLiteral("http://a/")));
}

TEST_F(BuiltInPlayerTest, ThePlayerPlaysTheRelayOfARunningRecording)
{
    NullSoundServer sound(m_dir);
    ASSERT_TRUE(sound.ready()) << "the sound server did not start";
    server.addMount("/live", playableMount({{0, "A - One"}, {5 * 16000, "B - Two"}}));
    prefs->setPrefs(Value(static_cast<std::int64_t>(unusedLoopbackPort())), prefs::kRelayPort);
    prefs->setPrefs(Value(0), prefs::kListenWithApplication); // the built-in player
    start();
    Node* node = station("Live", server.url("/live"));
    list().selectNodes({node});
    ASSERT_TRUE(controller().startRecordingForNode(node, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return node->rippingStatus() == RippingStatus::Running; }, 5s));

    window().listen();
    QMediaPlayer* player = desktop->frontEnd().player().mediaPlayer();
    EXPECT_TRUE(spinUntil([&] { return node->listenStatus(); }, 10s))
        << "the player connected to the relay";
    ASSERT_TRUE(
        spinUntil([&] { return player->playbackState() == QMediaPlayer::PlayingState; }, 10s));
    const bool advanced = spinUntil([&] { return player->position() > 1500; }, 20s);
    EXPECT_TRUE(advanced) << "position " << player->position() << " ms, error "
                          << player->errorString().toStdString();
    std::printf("built-in player position after playing the relay: %lld ms\n",
                static_cast<long long>(player->position()));
    // The sound went to the sound server: it has a stream playing into its null sink.
    std::string inputs;
    ASSERT_EQ(runCommand("pactl list short sink-inputs", &inputs), 0) << inputs;
    EXPECT_FALSE(inputs.empty()) << "no stream reached the sound server";

    window().listen(); // pressed again: listening stops
    EXPECT_TRUE(spinUntil([&] { return !node->listenStatus(); }, 10s));
    EXPECT_EQ(player->playbackState(), QMediaPlayer::StoppedState);
}
