// orvanta: the desktop program.

#include "DesktopApplication.h"
#include "Global.h"
#include "IconLibrary.h"
#include "Localization.h"
#include "Log.h"
#include "Resources.h"
#include "SingleInstance.h"
#include "StopSignals.h"
#include "Version.h"

#include <csignal>
#include <cstdio>
#include <string_view>

#include <QApplication>

int main(int argc, char** argv)
{
    // Answered without a display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version") {
            std::printf("orvanta %s\n", orvanta::kBundleVersion);
            return 0;
        }
        if (argument == "--help" || argument == "-h") {
            const QCoreApplication translating(argc, argv);
            orvanta::installTranslations();
            std::fputs(orvanta::localizedString(orvanta::app::kUsage).c_str(), stdout);
            return 0;
        }
    }
    // A peer closing a socket must never end the program.
    std::signal(SIGPIPE, SIG_IGN);
    // Set up before any thread exists, cleaned up after the last transfer (the application
    // joins its threads before main returns).
    const orvanta::curl::Global curl;
    if (!curl.ok())
        orvanta::logFormat("%s : Fatal error, curl_global_init returned code: %d", "main",
                           static_cast<int>(curl.code()));
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta"));
    QApplication::setApplicationVersion(QString::fromLatin1(orvanta::kBundleVersion));
    QApplication::setDesktopFileName(QStringLiteral("orvanta"));
    QApplication::setWindowIcon(orvanta::ui::iconNamed(QStringLiteral("orvanta")));
    // The last window closing is the user's quit, which the window handles itself.
    QApplication::setQuitOnLastWindowClosed(false);
    orvanta::installTranslations();

    const QStringList arguments = QApplication::arguments();
    const auto options = orvanta::app::parseArguments(arguments);
    if (!options) {
        const bool asked = arguments.contains(QStringLiteral("--help")) ||
                           arguments.contains(QStringLiteral("-h")) ||
                           arguments.contains(QStringLiteral("--version"));
        return asked ? 0 : 2;
    }
    // One program per user: a second start gives its addresses to the first and ends.
    orvanta::app::SingleInstance instance;
    if (instance.handOver(options->open))
        return 0;
    orvanta::app::DesktopApplication desktop(*options);
    if (!instance.listen([&desktop](const QStringList& open) {
            desktop.raiseWindow();
            desktop.open(open);
        }))
        orvanta::logMessage("orvanta", "Another start will not find this one: "
                                       "the instance socket could not be made");
    const orvanta::app::StopSignals stopSignals([&desktop] { desktop.quitNow(); });
    desktop.start();
    return QApplication::exec();
}
