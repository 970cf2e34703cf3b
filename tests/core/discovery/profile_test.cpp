#include "core/discovery/profile.h"

#include <gtest/gtest.h>

namespace wren::Profile {
namespace {

TEST(ProfileReport, FormatsOneAlignedLinePerSpan) {
    struct Case {
        const char* name;
        std::vector<SpanTotal> spans;
        const char* report;
    };
    const Case cases[] = {
        {"no spans: header only", {}, "\n[discovery]\n"},
        {"one call is singular",
         {{"discover", 12'500'000, 1}},
         "\n[discovery]\n  discover                  12.50 ms       1 call\n"},
        {"zero and many calls are plural",
         {{"read", 0, 0}, {"enumerate", 8'000'000, 2}},
         "\n[discovery]\n"
         "  read                       0.00 ms       0 calls\n"
         "  enumerate                  8.00 ms       2 calls\n"},
        {"rounds to two decimals",
         {{"rateLimits", 1'234'567, 12345}},
         "\n[discovery]\n  rateLimits                 1.23 ms   12345 calls\n"},
        {"wide values widen their columns",
         {{"installProbe", 123'456'789'000, 123456}},
         "\n[discovery]\n  installProbe           123456.79 ms   123456 calls\n"},
        {"a long name pushes only its own line",
         {{"a-span-name-of-thirty-bytes-xx", 1'000'000, 1}, {"read", 1'000'000, 1}},
         "\n[discovery]\n"
         "  a-span-name-of-thirty-bytes-xx     1.00 ms       1 call\n"
         "  read                       1.00 ms       1 call\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatReport("discovery", c.spans), c.report) << c.name;
    }
}

TEST(SpanTable, AddsUpInFirstRecordedOrderAndStartsAfreshAfterTaking) {
    SpanTable table;
    table.record("enumerate", 3'000'000);
    table.record("read", 1);
    table.record("enumerate", 5'000'000);
    const std::vector<SpanTotal> first = table.takeAll();
    EXPECT_EQ(first, (std::vector<SpanTotal>{{"enumerate", 8'000'000, 2}, {"read", 1, 1}}));
    EXPECT_EQ(formatReport("t", first),
              "\n[t]\n  enumerate                  8.00 ms       2 calls\n"
              "  read                       0.00 ms       1 call\n");

    EXPECT_TRUE(table.takeAll().empty()) << "a second take without recordings has no spans";

    table.record("read", 7);  // once taken, a name comes back as new, at the end of the order
    table.record("discover", 2);
    EXPECT_EQ(table.takeAll(), (std::vector<SpanTotal>{{"read", 7, 1}, {"discover", 2, 1}}));
}

TEST(Profile, OnlyTheExactValueOneSwitchesItOn) {
    struct Case {
        const char* value;
        bool on;
    };
    const Case cases[] = {
        {nullptr, false}, {"1", true},     {"", false},    {"1 ", false}, {" 1", false},
        {"01", false},    {"true", false}, {"yes", false}, {"2", false},  {"1\n", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(enabledByValue(c.value), c.on) << (c.value ? c.value : "(unset)");
    }
}

}  // namespace
}  // namespace wren::Profile
