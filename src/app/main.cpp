// orvanta: the desktop program.

#include "DesktopApplication.h"
#include "Global.h"
#include "IconLibrary.h"
#include "Localization.h"
#include "Log.h"
#include "Resources.h"
#include "StopSignals.h"
#include "Version.h"

#include <csignal>

#include <QApplication>

int main(int argc, char** argv)
{
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
    orvanta::installTranslations(orvanta::resourcesFolder() + "/translations");

    const auto options = orvanta::app::parseArguments(QApplication::arguments());
    if (!options)
        return QApplication::arguments().contains(QStringLiteral("--help")) ||
                       QApplication::arguments().contains(QStringLiteral("-h"))
                   ? 0
                   : 2;
    orvanta::app::DesktopApplication desktop(*options);
    const orvanta::app::StopSignals stopSignals([&desktop] { desktop.quitNow(); });
    desktop.start();
    return QApplication::exec();
}
