// The terminal front end and the running application core of orvanta-cli.

#include "CliSession.h"

#include "Localization.h"
#include "Node.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace orvanta::cli {

namespace {
std::atomic<bool> g_signalled{false};

extern "C" void noteSignal(int)
{
    g_signalled = true;
}
} // namespace

TerminalFrontEnd::TerminalFrontEnd(std::FILE* out) : m_out(out), m_terminal(::isatty(fileno(out)))
{}

TerminalFrontEnd::~TerminalFrontEnd()
{
    finishLine();
}

void TerminalFrontEnd::setStatusLines(const StatusLines& lines)
{
    std::string text = lines.status;
    if (!lines.song.empty())
        text += text.empty() ? lines.song : " | " + lines.song;
    if (text == m_shown)
        return;
    m_shown = text;
    if (m_terminal) {
        // Rewrite the one status line in place.
        std::fprintf(m_out, "\r\033[K%s", text.c_str());
        m_lineOpen = true;
    } else if (!text.empty()) {
        std::fprintf(m_out, "%s\n", text.c_str());
    }
    std::fflush(m_out);
}

void TerminalFrontEnd::finishLine()
{
    if (m_lineOpen) {
        std::fputc('\n', m_out);
        std::fflush(m_out);
        m_lineOpen = false;
    }
}

void TerminalFrontEnd::showAlert(const Alert& alert)
{
    finishLine();
    std::fprintf(stderr, "orvanta-cli: %s: %s\n", alert.title.c_str(), alert.message.c_str());
}

void TerminalFrontEnd::recordingEndedWithAlert(Node* node, const std::string& alert)
{
    if (!node || alert.empty())
        return;
    m_endedWithAlert[node] = alert;
    finishLine();
    std::fprintf(stderr, "orvanta-cli: %s: %s\n", node->name().c_str(), alert.c_str());
}

std::optional<std::string> TerminalFrontEnd::endedWithAlert(const Node* node) const
{
    const auto found = m_endedWithAlert.find(node);
    if (found == m_endedWithAlert.end())
        return std::nullopt;
    return found->second;
}

bool TerminalFrontEnd::askQuestion(const std::string& title, const std::string& message,
                                   const std::string&, const std::string&)
{
    finishLine();
    //: A question's title and message; it takes its default answer, as nobody is there to ask.
    std::fprintf(stderr, "orvanta-cli: %s\n",
                 Orvanta::tr("%1: %2 (going ahead)", {title, message}).c_str());
    return true;
}

CliSession::CliSession(bool asApplication)
{
    ApplicationCoreOptions options;
    options.runStartupScript = asApplication;
    options.watchSleep = asApplication;
    options.wakeFromSleep = asApplication;
    m_core = std::make_unique<ApplicationCore>(m_frontEnd, options);
    if (m_core->start() == MyOLVController::LoadResult::Unreadable)
        throw Failure(Orvanta::tr("cannot read the library %1", {m_core->library().libraryPath()}));
    g_signalled = false;
    struct sigaction action
    {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

CliSession::~CliSession()
{
    m_core.reset();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool CliSession::signalled()
{
    return g_signalled;
}

bool CliSession::runUntil(const std::function<bool()>& done,
                          std::optional<std::chrono::milliseconds> limit)
{
    const auto start = std::chrono::steady_clock::now();
    auto finished = [&] {
        return done() || signalled() ||
               (limit && std::chrono::steady_clock::now() - start >= *limit);
    };
    if (!finished()) {
        // Looked at every tenth of a second, so a signal or the end of the time is noticed
        // promptly while the event loop sleeps otherwise.
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (finished())
                loop.quit();
        });
        check.start(100);
        loop.exec();
    }
    return done();
}

} // namespace orvanta::cli
