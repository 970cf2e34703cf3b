// A child process for the platform tests. It runs what has to start before the toolkit (the
// quit signals) or on a real X server, and talks to the test one line at a time: commands on
// stdin, reports on stdout. It exits when stdin closes, so it never outlives the test.
//
//   platform_probe instance <key> <runtime dir>   prints "first <0|1>", holds it until stdin closes
//   platform_probe quit      prints "ready", then "quit <signal>" and exits 0 on SIGTERM/SIGINT
//   platform_probe session   prints "kind <kind>" and "started <0|1>", then "moved <x> <y>" on
//                            every moved(); commands: "compositor" -> "compositor <0|1>";
//                            "window <x> <y> <w> <h>" -> "window ready" (reports "press <x> <y>");
//                            "region none|empty|<x> <y> <w> <h>" -> "region set";
//                            "events" -> "events <n>": the events the main thread handled since
//                            the last "events", apart from the commands themselves

#include <unistd.h>

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/desktop_session.h"
#include "platform/pointer_monitor.h"
#include "platform/quit_signals.h"
#include "platform/single_instance.h"

namespace {

void say(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

const char* kindName(wren::PointerMonitor::Kind kind) {
    switch (kind) {
        case wren::PointerMonitor::Kind::rawMotion:
            return "rawMotion";
        case wren::PointerMonitor::Kind::polling:
            return "polling";
        case wren::PointerMonitor::Kind::none:
            return "none";
    }
    return "?";
}

class ClickTarget final : public QWidget {
  public:
    ClickTarget() {
        setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                       Qt::WindowStaysOnTopHint);
    }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        const QPoint at = event->position().toPoint();
        say(QStringLiteral("press %1 %2").arg(at.x()).arg(at.y()));
    }
};

// Counts every event the application delivers, so a test can see that a resting process does
// nothing at all: no timer, no posted call, no repaint.
class EventCounter final : public QObject {
  public:
    int take() { return std::exchange(count_, 0); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The test's own commands arrive as socket activations.
        if (event->type() != QEvent::SockAct) ++count_;
        return QObject::eventFilter(watched, event);
    }

  private:
    int count_ = 0;
};

// Calls `handle` with each line written to stdin, and quits the application when it closes.
void readCommands(QObject* owner, std::function<void(const QStringList&)> handle) {
    auto* notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, owner);
    auto buffer = std::make_shared<QByteArray>();
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [=] {
        char chunk[512];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            notifier->setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        buffer->append(chunk, n);
        for (qsizetype end; (end = buffer->indexOf('\n')) >= 0;) {
            const QString line = QString::fromUtf8(buffer->left(end)).trimmed();
            buffer->remove(0, end + 1);
            handle(line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        }
    });
}

int runQuit(int argc, char** argv) {
    wren::QuitSignals::block();
    QGuiApplication app(argc, argv);
    wren::QuitSignals quit;
    QObject::connect(&quit, &wren::QuitSignals::quitRequested, &app, [](int signal) {
        say(QStringLiteral("quit %1").arg(signal));
        QCoreApplication::exit(0);
    });
    say(quit.isActive() ? QStringLiteral("ready") : QStringLiteral("inactive"));
    return app.exec();
}

int runSession(int argc, char** argv) {
    QApplication app(argc, argv);
    std::unique_ptr<wren::PointerMonitor> monitor = wren::PointerMonitor::create();
    QObject::connect(monitor.get(), &wren::PointerMonitor::moved, [] {
        const QPoint at = QCursor::pos();
        say(QStringLiteral("moved %1 %2").arg(at.x()).arg(at.y()));
    });
    say(QStringLiteral("kind %1").arg(QLatin1String(kindName(monitor->kind()))));
    say(QStringLiteral("started %1").arg(monitor->start() ? 1 : 0));

    EventCounter events;
    app.installEventFilter(&events);
    std::unique_ptr<ClickTarget> window;
    readCommands(&app, [&](const QStringList& words) {
        if (words.isEmpty()) return;
        const QString& command = words.first();
        const auto number = [&](int i) { return words.value(i).toInt(); };
        if (command == QLatin1String("events")) {
            say(QStringLiteral("events %1").arg(events.take()));
        } else if (command == QLatin1String("compositor")) {
            say(QStringLiteral("compositor %1").arg(wren::DesktopSession::hasCompositor() ? 1 : 0));
        } else if (command == QLatin1String("window") && words.size() == 5) {
            window = std::make_unique<ClickTarget>();
            window->setGeometry(number(1), number(2), number(3), number(4));
            window->show();
            say(QTest::qWaitForWindowExposed(window.get(), 20000) ? QStringLiteral("window ready")
                                                                  : QStringLiteral("window lost"));
        } else if (command == QLatin1String("region") && window) {
            std::optional<QRegion> region;
            if (words.value(1) == QLatin1String("empty")) {
                region = QRegion();
            } else if (words.size() == 5) {
                region = QRegion(number(1), number(2), number(3), number(4));
            }
            wren::DesktopSession::setInputRegion(window->windowHandle(), region);
            QCursor::pos();  // a round trip, so the server has the new shape before the test clicks
            say(QStringLiteral("region set"));
        }
    });
    return app.exec();
}

}  // namespace

int runInstance(int argc, char** argv) {
    if (argc < 4) return 2;
    const wren::SingleInstance instance(argv[2], argv[3]);
    say(QStringLiteral("first %1").arg(instance.isFirst() ? 1 : 0));
    char ignored[64];
    while (::read(STDIN_FILENO, ignored, sizeof ignored) > 0) {
    }
    return 0;
}

int main(int argc, char** argv) {
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "instance") return runInstance(argc, argv);
    if (mode == "quit") return runQuit(argc, argv);
    if (mode == "session") return runSession(argc, argv);
    std::fputs("usage: platform_probe instance|quit|session\n", stderr);
    return 2;
}
