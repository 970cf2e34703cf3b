#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/transcripts/jsonl_reader.h"
#include "core/transcripts/regular_file.h"
#include "temp_dir.h"

namespace wren {
namespace {

std::vector<LineRange> reversed(std::string_view data, bool dropFirst, bool dropLast) {
    std::vector<LineRange> lines;
    JSONLReader::ReverseLines reverse(data, dropFirst, dropLast);
    while (const auto line = reverse.next()) lines.push_back(*line);
    std::reverse(lines.begin(), lines.end());
    return lines;
}

std::vector<LineRange> forward(std::string_view data, bool dropFirst, bool dropLast) {
    std::vector<LineRange> lines;
    JSONLReader::ForwardLines walk(data, JSONLReader::Cuts{dropFirst, dropLast});
    while (const auto line = walk.next()) lines.push_back(*line);
    return lines;
}

// The lazy walk from the end must hand out exactly the lines of the eager split.
TEST(ReverseLines, YieldsTheLinesOfTheFullSplitNewestFirst) {
    const std::vector<std::string> cases = {
        "",
        "\n",
        "\n\n",
        "{}",
        "{}\n",
        "\n\n{}\n",
        "a\nb",
        "a\nb\n",
        "a\n\n\nb\r\n",
        "\n\na\n\nb\n\n",
        "abc\ndef\n",
        "x\ny\nz",
        "\nonly\n",
        "no feed at all",
    };
    for (const std::string& data : cases) {
        for (const bool dropFirst : {false, true}) {
            for (const bool dropLast : {false, true}) {
                const auto split = JSONLReader::lineRanges(data, dropFirst, dropLast);
                EXPECT_EQ(reversed(data, dropFirst, dropLast), split)
                    << ::testing::PrintToString(data) << " dropFirst " << dropFirst << " dropLast "
                    << dropLast;
                EXPECT_EQ(forward(data, dropFirst, dropLast), split)
                    << ::testing::PrintToString(data) << " dropFirst " << dropFirst << " dropLast "
                    << dropLast;
            }
        }
    }
}

TEST(ReverseLines, AgreesWithTheFullSplitOnRandomBytes) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string data(random() % 40, ' ');
        for (char& c : data) c = "ab\n\r{"[random() % 5];
        for (const bool dropFirst : {false, true}) {
            for (const bool dropLast : {false, true}) {
                ASSERT_EQ(reversed(data, dropFirst, dropLast),
                          JSONLReader::lineRanges(data, dropFirst, dropLast))
                    << ::testing::PrintToString(data);
            }
        }
    }
}

// The readers take windows unsplit into a reused buffer; the bytes and cuts must be the ones
// head() and tail() split with, whatever the buffer held before.
TEST(ReverseLines, ReadIntoABufferCarriesTheCutsOfTheWindow) {
    testing::TempDir dir;
    const auto file = dir.write("t.jsonl", "abcd\nefghijkl\nmnopqrstuv\n");  // 25 bytes
    const auto opened = RegularFile::open(file);
    ASSERT_TRUE(opened);
    PaddedBuffer reused(4096);  // larger than any window here, and full of stale bytes
    std::fill(reused.data(), reused.data() + reused.size(), '\n');
    struct Case {
        std::uint64_t bytes, skip;
    };
    for (const Case c : {Case{11, 0}, Case{100, 0}, Case{12, 5}, Case{100, 11}, Case{3, 3}}) {
        const auto cuts = JSONLReader::readTail(*opened, c.bytes, c.skip, reused);
        const auto window = JSONLReader::tail(file, c.bytes, c.skip);
        ASSERT_EQ(cuts.has_value(), window.has_value());
        if (!cuts) continue;
        EXPECT_EQ(reused.view(), window->data.view());
        EXPECT_EQ(reversed(reused.view(), cuts->dropFirst, cuts->dropLast), window->lines)
            << c.bytes << " " << c.skip;
    }
    for (const std::uint64_t bytes : {3u, 10u, 25u, 100u}) {
        const auto cuts = JSONLReader::readHead(*opened, bytes, reused);
        const auto window = JSONLReader::head(file, bytes);
        ASSERT_TRUE(cuts && window);
        EXPECT_EQ(reused.view(), window->data.view());
        EXPECT_EQ(forward(reused.view(), cuts->dropFirst, cuts->dropLast), window->lines) << bytes;
    }
    EXPECT_EQ(reused.allocations(), 1u) << "every window fitted the buffer it had";
    EXPECT_FALSE(JSONLReader::readTail(*opened, 100, 25, reused)) << "nothing before the skip";
}

}  // namespace
}  // namespace wren
