// Desktop notifications against a stand-in notification service on a private bus: a
// recording that ends with an alert while the window is not in front is told to the user.

#include "WindowTestSupport.h"

#include "DesktopNotifier.h"
#include "PrivateBus.h"

#include <QDBusConnection>
#include <QWidget>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public slots:
    Q_SCRIPTABLE uint Notify(const QString& appName, uint replaces, const QString& icon,
                             const QString& summary, const QString& body,
                             const QStringList& actions, const QVariantMap& hints, int timeout)
    {
        (void)replaces;
        (void)actions;
        (void)hints;
        (void)timeout;
        shown.append(appName + "|" + icon + "|" + summary + "|" + body);
        return static_cast<uint>(shown.size());
    }

public:
    QStringList shown;
};

class DesktopNotifierTest : public WindowTest
{
protected:
    void SetUp() override
    {
        m_address = m_bus.address();
        ASSERT_FALSE(m_address.isEmpty()) << "dbus-daemon did not start";
    }
    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    }
    void offer(FakeNotifications& service)
    {
        QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("service"));
        ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                       QDBusConnection::ExportScriptableSlots));
    }
    QDBusConnection client()
    {
        return QDBusConnection::connectToBus(m_address, QStringLiteral("client"));
    }

    PrivateBus m_bus;
    QString m_address;
};

} // namespace

TEST_F(DesktopNotifierTest, WithoutTheServiceNothingWaits)
{
    ui::DesktopNotifier notifier(client());
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(notifier.notify(QStringLiteral("S"), QStringLiteral("B")));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
}

TEST_F(DesktopNotifierTest, ARecordingThatEndsWithAnAlertIsToldWhenTheWindowIsNotInFront)
{
    FakeNotifications service;
    offer(service);
    start();
    desktop->frontEnd().setNotifier(std::make_unique<ui::DesktopNotifier>(client()));
    server.addMount("/gone", [] {
        IcyMount missing;
        missing.statusCode = 404;
        return missing;
    }());
    Node* node = station("Gone Radio", server.url("/gone"));
    // The user is working in another window and would not see the alert.
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(spinUntil([&] { return elsewhere.isActiveWindow(); }, 5s));
    ASSERT_FALSE(window().isActiveWindow());
    ASSERT_TRUE(controller().startRecordingForNode(node, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return !service.shown.isEmpty(); }, 10s));
    EXPECT_EQ(service.shown.front(),
              QStringLiteral("Orvanta|orvanta|Recording of Gone Radio ended|"
                             "Connection Failure - The server answered 404 Not Found"));

    // A stop by the user is no news.
    service.shown.clear();
    server.addMount("/live", loopingMount({{0, "A - One"}}));
    Node* live = station("Live", server.url("/live"));
    ASSERT_TRUE(controller().startRecordingForNode(live, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return live->rippingStatus() == RippingStatus::Running; }, 5s));
    controller().stopRecordingForTag(live->tag());
    ASSERT_TRUE(spinUntil([&] { return controller().activeRecordingCount() == 0; }, 5s));
    spinUntil([] { return false; }, 300ms);
    EXPECT_TRUE(service.shown.isEmpty());

    // With the window in front, the station's own alert is enough.
    window().activateWindow();
    ASSERT_TRUE(spinUntil([&] { return window().isActiveWindow(); }, 5s));
    ASSERT_TRUE(controller().startRecordingForNode(node, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return !node->isRecording(); }, 10s));
    spinUntil([] { return false; }, 300ms);
    EXPECT_TRUE(service.shown.isEmpty());
}

#include "DesktopNotifierTest.moc"
