#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "transcripts/jsonl_reader.h"
#include "transcripts/temp_dir.h"

namespace wren {
namespace {

std::vector<LineRange> reversed(std::string_view data, bool dropFirst, bool dropLast) {
    std::vector<LineRange> lines;
    JSONLReader::ReverseLines reverse(data, dropFirst, dropLast);
    while (const auto line = reverse.next()) lines.push_back(*line);
    std::reverse(lines.begin(), lines.end());
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
                EXPECT_EQ(reversed(data, dropFirst, dropLast),
                          JSONLReader::lineRanges(data, dropFirst, dropLast))
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

// The readers take a tail unsplit; its cut flags must be the ones tail() splits with.
TEST(ReverseLines, TailBytesCarryTheCutsOfTheTailWindow) {
    testing::TempDir dir;
    const auto file = dir.write("t.jsonl", "abcd\nefghijkl\nmnopqrstuv\n");  // 25 bytes
    struct Case {
        std::uint64_t bytes, skip;
    };
    for (const Case c : {Case{11, 0}, Case{100, 0}, Case{12, 5}, Case{100, 11}, Case{3, 3}}) {
        const auto opened = RegularFile::open(file);
        ASSERT_TRUE(opened);
        const auto raw = JSONLReader::tailBytes(*opened, c.bytes, c.skip);
        const auto window = JSONLReader::tail(file, c.bytes, c.skip);
        ASSERT_EQ(raw.has_value(), window.has_value());
        if (!raw) continue;
        EXPECT_EQ(raw->data.view(), window->data.view());
        EXPECT_EQ(reversed(raw->data.view(), raw->dropFirst, raw->dropLast), window->lines)
            << c.bytes << " " << c.skip;
    }
    const auto opened = RegularFile::open(file);
    EXPECT_FALSE(JSONLReader::tailBytes(*opened, 100, 25)) << "nothing left before the skip";
}

}  // namespace
}  // namespace wren
