#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "temp_dir.h"
#include "core/transcripts/transcript_readers.h"

namespace wren {
namespace {

using testing::TempDir;

// The terminal fallback resumes a session in its own directory, so both readers must keep the
// full path, not only the project name shown on the row.
TEST(SessionSummary, ReadersKeepTheFullWorkingDirectory) {
    const std::string uuid = "0a1b2c3d-0000-4000-8000-00000000abcd";
    TempDir dir;
    const auto claude = SessionDiscovery::readClaude(dir.write(
        uuid + ".jsonl",
        R"({"type":"user","cwd":"/home/ann/dev/my proj","timestamp":"2025-09-10T08:15:00Z",)"
        R"("message":{"role":"user","content":"hello"}})"
        "\n"));
    ASSERT_TRUE(claude);
    EXPECT_EQ(claude->workingDirectory, "/home/ann/dev/my proj");
    EXPECT_EQ(claude->project, "my proj");

    const auto codex = SessionDiscovery::readCodex(dir.write(
        "rollout-2025-09-10T08-00-00-" + uuid + ".jsonl",
        R"({"timestamp":"2025-09-10T08:00:00Z","type":"session_meta","payload":{"id":")" + uuid +
            R"(","cwd":"/srv/site"}})"
            "\n"
            R"({"timestamp":"2025-09-10T08:05:00Z","type":"response_item","payload":{"type":)"
            R"("message","role":"user","content":[{"type":"input_text","text":"go"}]}})"
            "\n"));
    ASSERT_TRUE(codex);
    EXPECT_EQ(codex->workingDirectory, "/srv/site");

    const auto noCwd = SessionDiscovery::readClaude(
        dir.write("b" + uuid.substr(1) + ".jsonl",
                  R"({"type":"user","timestamp":"2025-09-10T08:15:00Z","message":{"content":"hi"}})"
                  "\n"));
    ASSERT_TRUE(noCwd);
    EXPECT_EQ(noCwd->workingDirectory, std::nullopt);
}

}  // namespace
}  // namespace wren
