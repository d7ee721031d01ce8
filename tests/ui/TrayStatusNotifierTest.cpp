// The tray as a desktop's panel sees it: Orvanta on an X server and a session bus with a
// StatusNotifierWatcher stand-in (what GNOME's and KDE's panels provide), its item and menu
// read and clicked through the StatusNotifierItem and dbusmenu interfaces.
//
// Run by run-window-e2e.sh (Xvfb, dbus-run-session): the bus must be there before the
// application object, which decides at its start whether the desktop has a tray.

#include "WindowTestSupport.h"

#include "Global.h"
#include "TrayIcon.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QMutex>
#include <QThread>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

// What a panel runs: items register with it, and it says a host shows them.
class WatcherStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const
    {
        QMutexLocker lock(&m_mutex);
        return m_items;
    }

public slots:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message)
    {
        // An item names its bus name or, as some do, only its path.
        const QString name = service.startsWith(u'/') ? message.service() : service;
        {
            QMutexLocker lock(&m_mutex);
            m_items << name;
        }
        emit StatusNotifierItemRegistered(name);
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    mutable QMutex m_mutex;
    QStringList m_items;
};

// Answers from its own thread: the program asks it synchronously from the main thread.
class Panel
{
public:
    Panel()
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                m_watcher = std::make_unique<WatcherStandIn>();
                QDBusConnection connection = QDBusConnection::connectToBus(
                    QDBusConnection::SessionBus, QStringLiteral("panel"));
                m_registered =
                    connection.registerObject(QStringLiteral("/StatusNotifierWatcher"),
                                              m_watcher.get(),
                                              QDBusConnection::ExportAllContents) &&
                    connection.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
            },
            Qt::BlockingQueuedConnection);
    }
    ~Panel()
    {
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                QDBusConnection::disconnectFromBus(QStringLiteral("panel"));
                m_watcher.reset();
                m_context.moveToThread(QCoreApplication::instance()->thread());
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    bool registered() const { return m_registered; }
    QStringList items() const { return m_watcher->items(); }

private:
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<WatcherStandIn> m_watcher;
    bool m_registered = false;
};

Panel* g_panel = nullptr;

struct MenuEntry
{
    int id = 0;
    QVariantMap properties;
    std::vector<MenuEntry> children;

    QString label() const { return properties.value(QStringLiteral("label")).toString(); }
    bool enabled() const { return properties.value(QStringLiteral("enabled"), true).toBool(); }
    bool separator() const
    {
        return properties.value(QStringLiteral("type")).toString() == u"separator";
    }
};

void readEntry(const QDBusArgument& argument, MenuEntry& entry)
{
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        entry.children.emplace_back();
        readEntry(child.variant().value<QDBusArgument>(), entry.children.back());
    }
    argument.endArray();
    argument.endStructure();
}

class TrayStatusNotifierTest : public WindowTest
{
protected:
    /// A call to the program, answered while its event loop runs.
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(m_item, path, interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = m_client.asyncCall(message);
        EXPECT_TRUE(spinUntil([&] { return pending.isFinished(); }, 10s)) << method.toStdString();
        EXPECT_FALSE(pending.isError())
            << method.toStdString() << ": " << pending.error().message().toStdString();
        return pending.reply();
    }
    QVariant itemProperty(const QString& name)
    {
        const QDBusMessage reply =
            call(QStringLiteral("/StatusNotifierItem"),
                 QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                 {QStringLiteral("org.kde.StatusNotifierItem"), name});
        return reply.arguments().isEmpty()
                   ? QVariant()
                   : reply.arguments().front().value<QDBusVariant>().variant();
    }
    /// The item's icon as a panel draws it: its pixmaps' pixels (name and size aside).
    QByteArray iconPixels()
    {
        const QDBusArgument pixmaps =
            itemProperty(QStringLiteral("IconPixmap")).value<QDBusArgument>();
        QByteArray all;
        pixmaps.beginArray();
        while (!pixmaps.atEnd()) {
            int width = 0, height = 0;
            QByteArray pixels;
            pixmaps.beginStructure();
            pixmaps >> width >> height >> pixels;
            pixmaps.endStructure();
            all += pixels;
        }
        pixmaps.endArray();
        return all;
    }
    MenuEntry layout()
    {
        const QDBusMessage reply = call(m_menuPath, QStringLiteral("com.canonical.dbusmenu"),
                                        QStringLiteral("GetLayout"), {0, -1, QStringList()});
        MenuEntry root;
        if (reply.arguments().size() == 2)
            readEntry(reply.arguments().at(1).value<QDBusArgument>(), root);
        return root;
    }
    /// The menu as a panel shows it: labels, "(off)" when greyed.
    std::string texts()
    {
        QStringList shown;
        for (const MenuEntry& entry : layout().children)
            if (!entry.separator())
                shown << entry.label() + (entry.enabled() ? "" : " (off)");
        return shown.join(QLatin1String(", ")).toStdString();
    }
    void click(const QString& label)
    {
        for (const MenuEntry& entry : layout().children)
            if (entry.label() == label) {
                call(m_menuPath, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"),
                     {entry.id, QStringLiteral("clicked"),
                      QVariant::fromValue(QDBusVariant(QVariant(0))), 0u});
                return;
            }
        ADD_FAILURE() << "no menu entry " << label.toStdString();
    }

    QDBusConnection m_client =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));
    QString m_item;
    QString m_menuPath;
};

TEST_F(TrayStatusNotifierTest, APanelShowsTheRecordingsAndItsMenuStopsThemAndShowsTheWindow)
{
    ASSERT_TRUE(g_panel && g_panel->registered());
    ASSERT_TRUE(ui::TrayIcon::available()) << "the stand-in watcher went unseen";
    server.addMount("/a", loopingMount({{0, "A - One"}}));
    start();
    Node* live = station("Live", server.url("/a"));
    ASSERT_TRUE(spinUntil([] { return !g_panel->items().isEmpty(); }, 10s))
        << "the tray never registered its item";
    m_item = g_panel->items().front();
    m_menuPath = itemProperty(QStringLiteral("Menu")).value<QDBusObjectPath>().path();
    ASSERT_FALSE(m_menuPath.isEmpty());
    EXPECT_TRUE(spinUntil(
        [&] { return texts() == "Nothing is recording (off), Stop All (off), Show Orvanta, Quit"; },
        5s))
        << texts();
    const QByteArray idleIcon = iconPixels();
    EXPECT_FALSE(idleIcon.isEmpty());

    ASSERT_TRUE(controller().startRecordingForNode(live, MainController::kSourceUser));
    EXPECT_TRUE(spinUntil([&] { return texts() == "Live, Stop All, Show Orvanta, Quit"; }, 5s))
        << texts();
    const QDBusArgument tip = itemProperty(QStringLiteral("ToolTip")).value<QDBusArgument>();
    QString iconName, title, body;
    tip.beginStructure();
    tip >> iconName;
    tip.beginArray(); // the tool tip's own pixmaps
    while (!tip.atEnd()) {
        tip.beginStructure();
        int width = 0, height = 0;
        QByteArray pixels;
        tip >> width >> height >> pixels;
        tip.endStructure();
    }
    tip.endArray();
    tip >> title >> body;
    tip.endStructure();
    EXPECT_EQ((title + body).toStdString(), "Orvanta: recording 1 station(s)");
    EXPECT_NE(iconPixels(), idleIcon) << "the icon does not show that something records";

    // The station's entry brings the window back with the station shown.
    window().hide();
    click(QStringLiteral("Live"));
    EXPECT_TRUE(spinUntil([&] { return window().isVisible(); }, 5s));
    EXPECT_EQ(list().currentNode(), live);
    click(QStringLiteral("Stop All"));
    EXPECT_TRUE(spinUntil([&] { return !live->isRecording(); }, 5s));
    EXPECT_TRUE(spinUntil(
        [&] { return texts() == "Nothing is recording (off), Stop All (off), Show Orvanta, Quit"; },
        5s))
        << texts();
}

} // namespace

int main(int argc, char** argv)
{
    const orvanta::curl::Global curl;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    Panel panel;
    g_panel = &panel;
    const int result = RUN_ALL_TESTS();
    g_panel = nullptr;
    return result;
}

#include "TrayStatusNotifierTest.moc"
