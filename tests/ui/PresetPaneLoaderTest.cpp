// The pane loader over a folder of fixture plug-ins: what is no pane of this interface
// version is skipped without a word, and a later namesake wins.

#include "PresetPaneLoader.h"
#include "PresetPane.h"
#include "TempDir.h"

#include <QCoreApplication>
#include <QFile>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

using orvanta::test::TempDir;
using orvanta::ui::PresetPaneLoader;

namespace {

QStringList g_messages;

void collectMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_messages.append(message);
}

std::string fixture(const char* name)
{
    return std::string(ORVANTA_FIXTURE_PANES) + "/" + name + ".so";
}

void copy(const std::string& from, const std::string& to)
{
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

TEST(PresetPaneLoaderTest, OnlyPanesOfThisInterfaceLoadAndALaterNamesakeWins)
{
    TempDir dir;
    std::ofstream(dir.file("10-broken.so")) << "\x7f"
                                               "ELF but nothing after it";
    std::ofstream(dir.file("15-notes.txt")) << "not a library at all";
    copy(fixture("fixture-not-a-plugin"), dir.file("20-not-a-plugin.so"));
    copy(fixture("fixture-other-version"), dir.file("30-other-version.so"));
    copy(fixture("fixture-twin-a"), dir.file("40-twin.so"));
    copy(fixture("fixture-twin-b"), dir.file("50-twin.so"));

    g_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectMessage);
    PresetPaneLoader loader;
    loader.loadFolder(QString::fromStdString(dir.path()));
    qInstallMessageHandler(previous);

    EXPECT_TRUE(g_messages.isEmpty()) << g_messages.join('\n').toStdString();
    EXPECT_EQ(loader.names(), QStringList{"Twin"});
    ASSERT_NE(loader.paneObject("Twin"), nullptr);
    EXPECT_EQ(loader.paneObject("Twin")->objectName(), "twinB");
    EXPECT_NE(loader.pane("Twin"), nullptr);
    EXPECT_EQ(loader.pane("Other Version"), nullptr);
    // Refused by its identifier before its library was loaded: its pane was never made.
    EXPECT_FALSE(qApp->property("otherVersionMade").isValid());
}

TEST(PresetPaneLoaderTest, ListingOrderDecidesBetweenNamesakes)
{
    TempDir dir;
    copy(fixture("fixture-twin-b"), dir.file("a-twin.so"));
    copy(fixture("fixture-twin-a"), dir.file("b-twin.so"));
    PresetPaneLoader loader;
    loader.loadFolder(QString::fromStdString(dir.path()));
    ASSERT_NE(loader.paneObject("Twin"), nullptr);
    EXPECT_EQ(loader.paneObject("Twin")->objectName(), "twinA");

    PresetPaneLoader empty;
    empty.loadFolder(QString::fromStdString(dir.file("missing")));
    EXPECT_TRUE(empty.names().isEmpty());
}

} // namespace
