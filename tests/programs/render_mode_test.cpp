#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <ctime>

#include "transcript_files.h"
#include "temp_dir.h"

namespace wren {
namespace {

using testing::claudeTranscript;
using testing::TempDir;
using testing::uuidOf;

struct Outcome {
    int status = -1;
    QString err;
};

// The real binary with a fake home of one Claude session, no display and no platform chosen.
Outcome render(const TempDir& home, const QString& picture, const QStringList& extra = {}) {
    QProcessEnvironment env;
    env.insert("PATH", "/usr/bin:/bin");
    env.insert("CLAUDE_CONFIG_DIR", QString::fromStdString((home / "claude").string()));
    env.insert("CODEX_HOME", QString::fromStdString((home / "codex").string()));
    env.insert("WRENISLAND_FORCE_MISSING", "claude,codex,wrenmem");
    env.insert("WRENISLAND_RENDER", picture);
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(home.path().string()));
    for (const QString& pair : extra) env.insert(pair.section('=', 0, 0), pair.section('=', 1));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(WRENISLAND_BINARY, {});
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

bool black(const QImage& image, int x, int y) {
    const QColor c = image.pixelColor(x, y);
    return c.alpha() == 255 && c.red() < 8;
}

TEST(RenderMode, DrawsTheSettledIslandWithoutADisplay) {
    TempDir home;
    const auto file = home.write("claude/projects/-work-wren/" + uuidOf(1) + ".jsonl",
                                 claudeTranscript("/work/wren", std::time(nullptr) - 120));
    (void)file;
    const QString picture = QString::fromStdString((home / "island.png").string());

    struct Case {
        QStringList env;
        int bodyBottom;  // the last row of the black body at the centre
    };
    const Case cases[] = {
        {{}, 56},
        {{"WRENISLAND_FORCE_OPEN=1"}, 32 + 22 + 25},
        {{"WRENISLAND_FORCE_OPEN=1", "WRENISLAND_FORCE_SELECT=1"}, 32 + 22 + 25 + 141},
        {{"WRENISLAND_FORCE_OPEN=true", "WRENISLAND_FORCE_SELECT=1"}, 56},
        {{"WRENISLAND_FORCE_OPEN=1", "WRENISLAND_FORCE_SELECT=2"}, 32 + 22 + 25},
    };
    for (const Case& c : cases) {
        const Outcome run = render(home, picture, c.env);
        ASSERT_EQ(run.status, 0) << c.env.join(' ').toStdString() << run.err.toStdString();
        const QImage image(picture);
        ASSERT_EQ(image.size(), QSize(546, 212 + 25)) << c.env.join(' ').toStdString();
        EXPECT_TRUE(image.hasAlphaChannel());
        EXPECT_TRUE(black(image, 273, c.bodyBottom - 2)) << c.env.join(' ').toStdString();
        EXPECT_FALSE(black(image, 273, c.bodyBottom + 1)) << c.env.join(' ').toStdString();
        EXPECT_EQ(image.pixelColor(2, 2).alpha(), 0);
        EXPECT_EQ(image.pixelColor(2, image.height() - 2).alpha(), 0);
    }
}

TEST(RenderMode, APictureThatCannotBeWrittenFailsInOneLine) {
    TempDir home;
    const std::string fifo = (home / "fifo.png").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directories(home / "folder.png");
    // A name that would break the line, restyle the terminal or reorder the line is escaped.
    const std::string hostile = (home / "missing/a\nb\x1b[2J\u202e\u0085.png").string();
    for (const std::string& target :
         {(home / "missing/island.png").string(), fifo, (home / "folder.png").string(), hostile}) {
        const Outcome run = render(home, QString::fromStdString(target));
        EXPECT_EQ(run.status, 1) << target;
        EXPECT_TRUE(run.err.startsWith("wrenisland: cannot write ")) << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        if (target == hostile) {
            EXPECT_TRUE(run.err.contains("/missing/a\\nb\\x1b[2J\\u202e\\u0085.png: "))
                << run.err.toStdString();
        }
    }
}

}  // namespace
}  // namespace wren
