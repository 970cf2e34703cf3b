#include "core/cli/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace wren::CommandLine {
namespace {

struct Outcome {
    Action action;
    std::vector<std::string> remaining;  // without the program name
    std::string error;
};

Outcome parseOf(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "wrenisland");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const Parsed parsed = parse(static_cast<int>(arguments.size()), argv.data());
    EXPECT_EQ(parsed.remaining.back(), nullptr) << "the toolkit's argv ends in null";
    EXPECT_EQ(parsed.remainingCount() + 1, static_cast<int>(parsed.remaining.size()));
    EXPECT_STREQ(parsed.remaining.front(), "wrenisland");
    Outcome outcome{parsed.action, {}, parsed.error};
    for (int i = 1; i < parsed.remainingCount(); ++i)
        outcome.remaining.push_back(parsed.remaining[i]);
    return outcome;
}

TEST(CommandLine, OurOptionsTheToolkitsAndEverythingElse) {
    using V = std::vector<std::string>;
    const struct {
        V arguments;
        Action action;
        V remaining;
        const char* error;  // a part of the error line
    } cases[] = {
        {{}, Action::island, {}, ""},
        {{"--help"}, Action::help, {}, ""},
        {{"-h"}, Action::help, {}, ""},
        {{"--version"}, Action::version, {}, ""},
        {{"--json"}, Action::json, {}, ""},
        {{"--dump"}, Action::dump, {}, ""},
        {{"--json", "--help"}, Action::help, {}, ""},
        {{"--bogus", "--version"}, Action::version, {}, ""},
        {{"--bogus"}, Action::invalid, {}, "unknown option '--bogus'"},
        {{"-j"}, Action::invalid, {}, "unknown option '-j'"},
        {{"--JSON"}, Action::invalid, {}, "'--JSON'"},
        {{"--json=1"}, Action::invalid, {}, "'--json=1'"},
        {{"extra"}, Action::invalid, {}, "unexpected argument 'extra'"},
        {{"--a\x1b[2J"}, Action::invalid, {}, "'--a\\x1b[2J'"},  // shown safely
        {{"--json", "--dump"}, Action::invalid, {}, "exclude each other"},
        {{"--watch"}, Action::watch, {}, ""},
        {{"--json", "--watch"}, Action::watch, {}, ""},
        {{"--dump", "--watch"}, Action::invalid, {}, "--watch and --dump exclude each other"},
        {{"--json", "--bogus"}, Action::invalid, {}, "'--bogus'"},
        // The toolkit's own options pass through in order, with their values.
        {{"-platform", "offscreen"}, Action::island, {"-platform", "offscreen"}, ""},
        {{"--platform", "xcb", "-reverse"}, Action::island, {"--platform", "xcb", "-reverse"}, ""},
        {{"-style=fusion", "--json"}, Action::json, {"-style=fusion"}, ""},
        {{"--stylesheet=a.qss"}, Action::island, {"--stylesheet=a.qss"}, ""},
        // Qt takes a value after "=" only for those two; it would ignore these.
        {{"-platform=offscreen"}, Action::invalid, {}, "unknown option '-platform=offscreen'"},
        {{"--display=:1"}, Action::invalid, {}, "'--display=:1'"},
        {{"-reverse=1"}, Action::invalid, {}, "'-reverse=1'"},
        {{"-display", ":1", "-geometry", "100x100", "-sync"},
         Action::island,
         {"-display", ":1", "-geometry", "100x100", "-sync"},
         ""},
        {{"-qwindowtitle", "--json"}, Action::island, {"-qwindowtitle", "--json"}, ""},  // a value
        {{"-platform"}, Action::island, {"-platform"}, ""},  // the toolkit complains, not we
    };
    for (const auto& c : cases) {
        const Outcome outcome = parseOf(c.arguments);
        const std::string context = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(outcome.action, c.action) << context;
        EXPECT_EQ(outcome.remaining, c.remaining) << context;
        EXPECT_NE(outcome.error.find(c.error), std::string::npos) << context << outcome.error;
        if (c.action == Action::invalid) {
            EXPECT_NE(outcome.error.find("--help"), std::string::npos) << "points at the help";
            EXPECT_EQ(outcome.error.find('\n'), std::string::npos) << "one line";
        }
    }
}

std::string captured(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
    return text;
}

TEST(CommandLine, HelpVersionAndErrorsNeedNoMachine) {
    const auto run = [](std::vector<std::string> arguments, const char* dumpVariable) {
        arguments.insert(arguments.begin(), "wrenisland");
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const auto status = runWithoutDisplay(parse(static_cast<int>(argv.size()), argv.data()),
                                              dumpVariable, out, err);
        std::pair<std::optional<int>, std::pair<std::string, std::string>> result{
            status, {captured(out), captured(err)}};
        std::fclose(out);
        std::fclose(err);
        return result;
    };

    const auto help = run({"--help"}, "1");
    EXPECT_EQ(help.first, 0);
    for (const char* mentioned :
         {"--json", "--watch", "--dump", "--version", "--help", "CLAUDE_CONFIG_DIR", "CODEX_HOME",
          "WRENISLAND_DUMP", "WRENISLAND_PROFILE", "WRENISLAND_FORCE_MISSING", "WRENISLAND_SELECT",
          "WRENISLAND_SCREEN", "WRENISLAND_FORCE_OPEN", "WRENISLAND_FORCE_SELECT",
          "WRENISLAND_RENDER", "TERMINAL"}) {
        EXPECT_NE(help.second.first.find(mentioned), std::string::npos) << mentioned;
    }
    EXPECT_EQ(help.second.second, "");

    const auto version = run({"--version"}, nullptr);
    EXPECT_EQ(version.first, 0);
    EXPECT_EQ(version.second.first, "WrenIsland " WREN_VERSION "\n");

    const auto bad = run({"--nope"}, "1");
    EXPECT_EQ(bad.first, 2);
    EXPECT_EQ(bad.second.first, "");
    EXPECT_EQ(bad.second.second,
              "wrenisland: unknown option '--nope' (wrenisland --help lists the options)\n");

    EXPECT_EQ(run({"-platform", "xcb"}, nullptr).first, std::nullopt) << "the island starts";
    EXPECT_EQ(run({}, "0").first, std::nullopt);
}

}  // namespace
}  // namespace wren::CommandLine
