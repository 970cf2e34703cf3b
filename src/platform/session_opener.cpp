#include "platform/session_opener.h"

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/discovery/home_directory.h"
#include "core/system/clean_launch.h"
#include "platform/qt_text.h"

namespace wren::SessionOpener {
namespace {

// Only the first bytes matter: a desktop file name.
constexpr qint64 kMaxQueryOutput = 4096;

// The agent's program on PATH, else in ~/.local/bin where their installers put it and where a
// desktop session's PATH often does not look.
QString findAgent(Agent agent) {
    const QString name = qt(agentProgram(agent));
    QString found = QStandardPaths::findExecutable(name);
    // Without a home there is no ~/.local/bin, and never ./.local/bin in its place.
    const auto local = expandTilde("~/.local/bin");
    if (found.isEmpty() && local) {
        found = QStandardPaths::findExecutable(name, {QString::fromStdString(local->string())});
    }
    return found;
}

bool isDirectory(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

bool resumeInTerminal(const SessionSummary& session) {
    const QString agent = findAgent(session.agent);
    const QString terminal = QStandardPaths::findExecutable(
        QString::fromStdString(terminalProgram(std::getenv("TERMINAL"))));
    if (agent.isEmpty() || terminal.isEmpty()) return false;
    const auto launch = terminalResume(session, terminal.toStdString(), agent.toStdString());
    // Never start the agent in some other directory than the session's own.
    if (!launch || !isDirectory(launch->workingDirectory)) return false;
    return CleanLaunch::startDetached(launch->program, launch->arguments, launch->workingDirectory);
}

}  // namespace

bool hasSchemeHandler(std::string_view scheme) {
    QProcess query;
    query.setProcessChannelMode(QProcess::SeparateChannels);
    query.setStandardInputFile(QProcess::nullDevice());
    QProcessEnvironment environment;
    for (const std::string& entry : CleanLaunch::userEnvironment()) {
        const std::size_t equals = entry.find('=');
        environment.insert(QString::fromStdString(entry.substr(0, equals)),
                           equals == std::string::npos
                               ? QString()
                               : QString::fromStdString(entry.substr(equals + 1)));
    }
    query.setProcessEnvironment(environment);
    query.setChildProcessModifier(&CleanLaunch::resetSignals);
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("x-scheme-handler/") + qt(scheme)});
    if (!query.waitForStarted(kCommandTimeoutMs)) return false;
    if (!query.waitForFinished(kCommandTimeoutMs)) {
        query.kill();
        query.waitForFinished(kCommandTimeoutMs);
        return false;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) return false;
    return !query.read(kMaxQueryOutput).trimmed().isEmpty();
}

bool open(const SessionSummary& session) {
    const auto link = deepLink(session);
    if (!link) return false;
    // xdg-open is started detached: in a bare X session it runs the handler in the foreground,
    // which may take as long as the app stays open.
    if (hasSchemeHandler(scheme(session.agent)) &&
        CleanLaunch::startDetached("xdg-open", {*link})) {
        return true;
    }
    return resumeInTerminal(session);
}

}  // namespace wren::SessionOpener
