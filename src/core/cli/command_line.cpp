#include "core/cli/command_line.h"

#include <csignal>
#include <cstring>
#include <exception>

#include "core/cli/dump.h"
#include "core/cli/json_snapshot.h"
#include "core/cli/json_watch.h"
#include "core/cli/printed_text.h"
#include "core/discovery/transcript_watch.h"

namespace wren::CommandLine {
namespace {

// The toolkit's command-line options (QGuiApplication, QApplication and the X11 platform),
// each with its value in the next argument or none. Qt 6.4 takes them with one dash or two, but
// a value after "=" only for -style and -stylesheet: any other "-option=value" it ignores, so it
// is no toolkit option here either.
enum class Value { none, next, nextOrAttached };
struct ToolkitOption {
    std::string_view name;
    Value value;
};
constexpr ToolkitOption kToolkitOptions[] = {
    {"platform", Value::next},
    {"platformpluginpath", Value::next},
    {"platformtheme", Value::next},
    {"plugin", Value::next},
    {"qmljsdebugger", Value::next},
    {"qwindowgeometry", Value::next},
    {"qwindowicon", Value::next},
    {"qwindowtitle", Value::next},
    {"reverse", Value::none},
    {"session", Value::next},
    {"display", Value::next},
    {"geometry", Value::next},
    {"name", Value::next},
    {"title", Value::next},
    {"visual", Value::next},
    {"ncols", Value::next},
    {"cmap", Value::none},
    {"nograb", Value::none},
    {"dograb", Value::none},
    {"sync", Value::none},
    {"style", Value::nextOrAttached},
    {"stylesheet", Value::nextOrAttached},
    {"widgetcount", Value::none},
};

const ToolkitOption* toolkitOption(std::string_view argument) {
    if (!argument.starts_with('-')) return nullptr;
    argument.remove_prefix(argument.starts_with("--") ? 2 : 1);
    const std::size_t equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    for (const ToolkitOption& option : kToolkitOptions) {
        if (option.name != name) continue;
        const bool attached = equals != std::string_view::npos;
        return attached && option.value != Value::nextOrAttached ? nullptr : &option;
    }
    return nullptr;
}

constexpr const char* kUsage = R"(Usage: wrenisland [OPTION]

Shows your recent Claude Code and Codex sessions in a black island at the top of the screen.
Without an option it starts the island; every option below runs without a display and exits.

Options:
  --json        print the machine snapshot once as one JSON document (sessions, today's totals,
                rate limits, what is installed) and exit
  --watch       print that document, then a new line each time it changes (a transcript is
                written, a day begins) until interrupted or its reader goes away: for status
                bars that read a stream
  --dump        list up to 20 recent sessions, one tab-separated line each, and exit
  --version     print the version and exit
  -h, --help    print this help and exit
The toolkit's own options (-platform, -display, -style, ...) are passed on to the island.

Environment:
  CLAUDE_CONFIG_DIR         Claude's home, taken as written (default ~/.claude)
  CODEX_HOME                Codex's home, taken as written (default ~/.codex)
  WRENISLAND_DUMP           1: the same as --dump
  WRENISLAND_PROFILE        1: write a timing report of each stage to standard error
  WRENISLAND_FORCE_MISSING  comma-separated claude, codex, wrenmem: treat them as not installed
  WRENISLAND_SELECT         a row to select once when the sessions first arrive (0 = newest)
  WRENISLAND_SCREEN         the screen to show the island on (0 = first), instead of the pointer's
  WRENISLAND_FORCE_OPEN     1: open the island at start and keep it open
  WRENISLAND_FORCE_SELECT   a row to select when the island is forced open
  WRENISLAND_RENDER         a PNG file: draw the island into it and exit (no display needed)
  TERMINAL                  the terminal that resumes a session when no app handles its link

Exit status: 0 on success, 1 when the output cannot be written, 2 for a bad option.
)";

}  // namespace

Parsed parse(int argc, char** argv) {
    Parsed parsed;
    if (argc > 0) parsed.remaining.push_back(argv[0]);
    bool help = false, version = false, json = false, dump = false, watch = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else if (argument == "--json") {
            json = true;
        } else if (argument == "--dump") {
            dump = true;
        } else if (argument == "--watch") {
            watch = true;
        } else if (const ToolkitOption* option = toolkitOption(argument)) {
            parsed.remaining.push_back(argv[i]);
            const bool valueAttached = argument.find('=') != std::string_view::npos;
            if (option->value != Value::none && !valueAttached && i + 1 < argc) {
                parsed.remaining.push_back(argv[++i]);
            }
        } else if (parsed.error.empty()) {
            const std::string shown = PrintedText::forTerminal(argument);
            parsed.error = argument.starts_with('-')
                               ? "wrenisland: unknown option '" + shown + "'"
                               : "wrenisland: unexpected argument '" + shown + "'";
            parsed.error += " (wrenisland --help lists the options)";
        }
    }
    parsed.remaining.push_back(nullptr);
    if (help) {
        parsed.action = Action::help;
    } else if (version) {
        parsed.action = Action::version;
    } else if (!parsed.error.empty()) {
        parsed.action = Action::invalid;
    } else if ((json || watch) && dump) {
        parsed.action = Action::invalid;
        parsed.error = watch ? "wrenisland: --watch and --dump exclude each other (see wrenisland "
                               "--help)"
                             : "wrenisland: --json and --dump exclude each other (see wrenisland "
                               "--help)";
    } else if (watch) {
        parsed.action = Action::watch;
    } else if (json) {
        parsed.action = Action::json;
    } else if (dump) {
        parsed.action = Action::dump;
    }
    return parsed;
}

std::string versionLine() {
    return std::string("WrenIsland ") + WREN_VERSION;
}

std::string usage() {
    return kUsage;
}

std::optional<int> runWithoutDisplay(const Parsed& parsed, const char* dumpVariable, std::FILE* out,
                                     std::FILE* err) {
    Action action = parsed.action;
    if (action == Action::island && Dump::requested(dumpVariable)) action = Action::dump;
    const auto print = [&](const std::string& text) {
        std::fputs(text.c_str(), out);
        return std::fflush(out) == 0 && !std::ferror(out) ? 0 : 1;
    };
    switch (action) {
        case Action::island:
            return std::nullopt;
        case Action::help:
            return print(usage());
        case Action::version:
            return print(versionLine() + "\n");
        case Action::invalid:
            std::fprintf(err, "%s\n", parsed.error.c_str());
            return 2;
        case Action::json:
        case Action::watch:
        case Action::dump:
            break;
    }
    // A reader that went away is a failed write, reported by the exit status, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        if (action == Action::watch) {
            return JsonWatch::run(out, err, TranscriptWatch::agentRoots());
        }
        return action == Action::json ? JsonSnapshot::run(out, err) : Dump::run(out);
    } catch (const std::exception& error) {
        // Only memory or threads running out get here; say so instead of aborting.
        std::fprintf(err, "wrenisland: %s\n", error.what());
        return 1;
    }
}

}  // namespace wren::CommandLine
