#include "platform/session_opener.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTest>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "scoped_env.h"
#include "temp_dir.h"

namespace wren {
namespace {

using testing::ScopedEnv;
using testing::TempDir;
namespace fs = std::filesystem;

constexpr const char* kUuid = "0f8fad5b-d9cb-469f-a165-70867728950e";

std::string slurp(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void script(const TempDir& dir, const std::string& name, const std::string& body) {
    const auto file = dir.write("bin/" + name, "#!/bin/sh\n" + body);
    ::chmod(file.c_str(), 0755);
}

// A fake program that records its arguments, one a line, and its working directory; the files
// appear whole (renamed into place) because the program runs detached.
void recorder(const TempDir& dir, const std::string& name) {
    const std::string out = (dir / "record").string() + "/" + name;
    script(dir, name,
           "pwd -P > '" + out +
               ".cwd.tmp'\n"
               "printf '%s\\n' \"$@\" > '" +
               out +
               ".args.tmp'\n"
               "/bin/mv '" +
               out + ".cwd.tmp' '" + out +
               ".cwd'\n"
               "/bin/mv '" +
               out + ".args.tmp' '" + out + ".args'\n");
}

enum class MimeQuery { handler, noHandler, missing, hangs };

struct Recorded {
    std::string program;
    std::vector<std::string> arguments;
    std::string directory;
};

// What was started, waiting up to `ms` for a detached program to write its record.
std::optional<Recorded> started(const TempDir& dir, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        for (const auto& entry : fs::directory_iterator(dir / "record")) {
            const auto path = entry.path();
            if (path.extension() != ".args") continue;
            Recorded r{
                path.stem().string(), {}, slurp(dir / "record" / (path.stem().string() + ".cwd"))};
            std::istringstream lines(slurp(path));
            for (std::string line; std::getline(lines, line);) r.arguments.push_back(line);
            if (!r.directory.empty() && r.directory.back() == '\n') r.directory.pop_back();
            return r;
        }
        QTest::qWait(10);
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

TEST(SessionOpenerEndToEnd, OpensThroughTheDesktopOrResumesInATerminal) {
    struct Case {
        const char* name;
        Agent agent;
        std::string nativeID;
        MimeQuery mime;
        bool directoryExists = true;
        bool terminalInstalled = true;
        bool terminalVariable = false;  // $TERMINAL names another fake terminal
        bool opened;
        std::optional<std::string> program;  // which fake was started
        std::vector<std::string> arguments;  // with "@bin" for the fake bin directory
    };
    const std::string link = std::string("claude://resume?session=") + kUuid;
    const Case cases[] = {
        {"registered handler",
         Agent::claude,
         kUuid,
         MimeQuery::handler,
         true,
         true,
         false,
         true,
         "xdg-open",
         {link}},
        {"codex handler",
         Agent::codex,
         "abc",
         MimeQuery::handler,
         true,
         true,
         false,
         true,
         "xdg-open",
         {"codex://threads/abc"}},
        {"no handler: claude in a terminal",
         Agent::claude,
         kUuid,
         MimeQuery::noHandler,
         true,
         true,
         false,
         true,
         "x-terminal-emulator",
         {"-e", "@bin/claude", "--resume", kUuid}},
        {"no xdg-mime: codex in a terminal",
         Agent::codex,
         kUuid,
         MimeQuery::missing,
         true,
         true,
         false,
         true,
         "x-terminal-emulator",
         {"-e", "@bin/codex", "resume", kUuid}},
        {"$TERMINAL wins",
         Agent::claude,
         kUuid,
         MimeQuery::noHandler,
         true,
         true,
         true,
         true,
         "my-term",
         {"-e", "@bin/claude", "--resume", kUuid}},
        {"a hung xdg-mime times out",
         Agent::claude,
         kUuid,
         MimeQuery::hangs,
         true,
         true,
         false,
         true,
         "x-terminal-emulator",
         {"-e", "@bin/claude", "--resume", kUuid}},
        {"working directory gone",
         Agent::claude,
         kUuid,
         MimeQuery::noHandler,
         false,
         true,
         false,
         false,
         std::nullopt,
         {}},
        {"id is not a UUID",
         Agent::claude,
         "abc",
         MimeQuery::noHandler,
         true,
         true,
         false,
         false,
         std::nullopt,
         {}},
        {"no terminal",
         Agent::codex,
         kUuid,
         MimeQuery::noHandler,
         true,
         false,
         false,
         false,
         std::nullopt,
         {}},
        {"no link at all",
         Agent::claude,
         "a b",
         MimeQuery::handler,
         true,
         true,
         false,
         false,
         std::nullopt,
         {}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::create_directories(dir / "record");
        fs::create_directories(dir / "project dir");
        const std::string bin = (dir / "bin").string();
        script(dir, "claude", "exit 0\n");
        script(dir, "codex", "exit 0\n");
        recorder(dir, "xdg-open");
        if (c.terminalInstalled) recorder(dir, "x-terminal-emulator");
        if (c.terminalVariable) recorder(dir, "my-term");
        switch (c.mime) {
            case MimeQuery::handler:
                script(dir, "xdg-mime", "printf 'fake-agent.desktop\\n'\n");
                break;
            case MimeQuery::noHandler:
                script(dir, "xdg-mime", "exit 0\n");
                break;
            case MimeQuery::missing:
                break;
            case MimeQuery::hangs:
                script(dir, "xdg-mime", "exec /bin/sleep 30\n");
                break;
        }
        ScopedEnv path("PATH", bin);
        ScopedEnv terminal(
            "TERMINAL", c.terminalVariable ? std::optional<std::string>("my-term") : std::nullopt);

        SessionSummary session;
        session.agent = c.agent;
        session.nativeID = c.nativeID;
        session.id = std::string(idPrefix(c.agent)) + c.nativeID;
        session.workingDirectory = (dir / (c.directoryExists ? "project dir" : "deleted")).string();

        const auto begin = std::chrono::steady_clock::now();
        EXPECT_EQ(SessionOpener::open(session), c.opened);
        EXPECT_LT(std::chrono::steady_clock::now() - begin,
                  std::chrono::milliseconds(SessionOpener::kCommandTimeoutMs * 2 + 1000));

        const auto record = started(dir, c.program ? 5000 : 300);
        ASSERT_EQ(record.has_value(), c.program.has_value());
        if (!record) continue;
        EXPECT_EQ(record->program, *c.program);
        std::vector<std::string> expected = c.arguments;
        for (auto& argument : expected) {
            if (argument.rfind("@bin", 0) == 0) argument = bin + argument.substr(4);
        }
        EXPECT_EQ(record->arguments, expected);
        if (record->program != "xdg-open") {
            EXPECT_EQ(record->directory, fs::canonical(dir / "project dir").string());
        }
    }
}

TEST(SessionOpenerEndToEnd, SchemeHandlerQuery) {
    TempDir dir;
    // Answers only for the scheme it was asked about, so the argument is checked too.
    script(dir, "xdg-mime",
           "[ \"$1 $2 $3\" = 'query default x-scheme-handler/claude' ] && echo claude.desktop\n"
           "exit 0\n");
    ScopedEnv path("PATH", (dir / "bin").string());
    EXPECT_TRUE(SessionOpener::hasSchemeHandler("claude"));
    EXPECT_FALSE(SessionOpener::hasSchemeHandler("codex"));

    script(dir, "xdg-mime", "echo claude.desktop\nexit 3\n");
    EXPECT_FALSE(SessionOpener::hasSchemeHandler("claude"));
}

}  // namespace
}  // namespace wren
