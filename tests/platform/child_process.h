#pragma once

#include <sys/prctl.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <csignal>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace wren::testing {

/// A child process the test talks to line by line, which never outlives the test: it is
/// killed when the test process dies and terminated when this object goes.
class Child {
  public:
    enum class Errors { forward, discard };

    Child(const QString& program, const QStringList& arguments,
          const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
          Errors errors = Errors::forward) {
        process_.setProgram(program);
        process_.setArguments(arguments);
        process_.setProcessEnvironment(environment);
        if (errors == Errors::forward) {
            process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        } else {
            process_.setStandardErrorFile(QProcess::nullDevice());
        }
        process_.setChildProcessModifier([] {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            // The test may hold SIGTERM blocked (the quit signal tests); the child must not.
            sigset_t quit;
            sigemptyset(&quit);
            sigaddset(&quit, SIGTERM);
            sigaddset(&quit, SIGINT);
            sigprocmask(SIG_UNBLOCK, &quit, nullptr);
        });
        process_.start();
        process_.waitForStarted(30000);
    }

    ~Child() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }

    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    QProcess& process() { return process_; }

    void send(const std::string& line) {
        process_.write((line + '\n').c_str());
        process_.waitForBytesWritten(10000);
    }

    /// Takes the first unread line that starts with `prefix`, waiting for it while the child
    /// runs, up to `timeoutMs`. Lines that do not match stay unread.
    std::optional<std::string> line(const std::string& prefix, int timeoutMs = 30000) {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            readLines();
            for (auto it = lines_.begin(); it != lines_.end(); ++it) {
                if (it->starts_with(prefix)) {
                    std::string found = std::move(*it);
                    lines_.erase(it);
                    return found;
                }
            }
            if (deadline.hasExpired() || process_.state() == QProcess::NotRunning) return {};
            waitForOutput(deadline);
        }
    }

    /// Drops every line not read yet.
    void forget() {
        readLines();
        lines_.clear();
    }

    /// Takes the unread lines starting with `prefix`, and those that arrive within `ms`.
    std::vector<std::string> linesDuring(const std::string& prefix, int ms) {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired() && process_.state() != QProcess::NotRunning) {
            waitForOutput(deadline);
            readLines();
        }
        std::vector<std::string> found;
        std::erase_if(lines_, [&](const std::string& l) {
            if (!l.starts_with(prefix)) return false;
            found.push_back(l);
            return true;
        });
        return found;
    }

  private:
    void waitForOutput(const QDeadlineTimer& deadline) {
        process_.waitForReadyRead(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)));
    }

    void readLines() {
        while (process_.canReadLine()) {
            lines_.push_back(process_.readLine().trimmed().toStdString());
        }
    }

    QProcess process_;
    std::deque<std::string> lines_;
};

}  // namespace wren::testing
