#include "core/transcripts/jsonl_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/transcripts/regular_file.h"
#include "temp_dir.h"

namespace wren {
namespace {

using testing::TempDir;
using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;

Ranges pairs(const std::vector<LineRange>& lines) {
    Ranges out;
    for (const LineRange& r : lines) out.emplace_back(r.begin, r.end);
    return out;
}

std::vector<std::string> texts(const TranscriptWindow& w) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < w.lines.size(); ++i) out.emplace_back(w.line(i));
    return out;
}

PaddedBuffer bufferOf(std::string_view bytes) {
    PaddedBuffer buffer(bytes.size());
    if (!bytes.empty()) std::memcpy(buffer.data(), bytes.data(), bytes.size());
    return buffer;
}

// The 25-byte file of three lines (4, 8 and 10 characters).
constexpr std::string_view kThree = "abcd\nefghijkl\nmnopqrstuv\n";

TEST(JSONLReader, LineRanges) {
    using namespace std::string_view_literals;
    struct Case {
        std::string_view data;
        bool dropFirst, dropLast;
        Ranges expected;
    };
    const Case cases[] = {
        {"", false, false, {}},
        {"", true, true, {}},
        {"\n", false, false, {}},
        {"\n\n{}\n", false, false, {{2, 4}}},
        // The first non-empty line goes even when the data starts at a line start.
        {"\n\n{}\n", true, false, {}},
        {"{}\r\n[]\r\n", false, false, {{0, 3}, {4, 7}}},
        {"abc", false, false, {{0, 3}}},
        {"abc", false, true, {}},
        {"abc", true, false, {}},
        {"ab\ncd", false, true, {{0, 2}}},
        {"ab\ncd", true, false, {{3, 5}}},
        {"ab\ncd", true, true, {}},
        // A terminated final line is whole, so dropLast keeps it.
        {"ab\ncd\n", false, true, {{0, 2}, {3, 5}}},
        {"ab\n\n\ncd\nef", true, true, {{5, 7}}},
        // Bytes are bytes: NUL and invalid UTF-8 neither end nor split a line.
        {"\xff\0z\n\xc3(\n"sv, false, false, {{0, 3}, {4, 6}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pairs(JSONLReader::lineRanges(c.data, c.dropFirst, c.dropLast)), c.expected)
            << "data of " << c.data.size() << " bytes, dropFirst " << c.dropFirst << ", dropLast "
            << c.dropLast;
    }
}

TEST(JSONLReader, WindowKeepsDataEvenWithoutLines) {
    EXPECT_FALSE(JSONLReader::window(PaddedBuffer(), false, false));

    const auto cut = JSONLReader::window(bufferOf("{\"a\":"), false, true);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->data.view(), "{\"a\":");
    EXPECT_TRUE(cut->lines.empty());
}

TEST(JSONLReader, Head) {
    using namespace std::string_literals;
    using namespace std::string_view_literals;
    struct Case {
        const char* name;
        std::string_view content;
        std::uint64_t budget;
        bool hasWindow;
        std::string_view data;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"budget cuts the second line", "abcd\nefghijkl\n", 10, true, "abcd\nefghi", {"abcd"}},
        {"budget equals size keeps unterminated", "ab\ncd", 5, true, "ab\ncd", {"ab", "cd"}},
        {"budget beyond size", "ab\ncd\n", 1 << 20, true, "ab\ncd\n", {"ab", "cd"}},
        {"budget ends on a line feed", "ab\ncd\n", 3, true, "ab\n", {"ab"}},
        {"empty file", "", 100, false, "", {}},
        {"zero budget", "ab\n", 0, false, "", {}},
        {"no line feed, cut", "abcdefgh", 4, true, "abcd", {}},
        {"no line feed, whole", "abcdefgh", 100, true, "abcdefgh", {"abcdefgh"}},
        {"CRLF stays in the line", "{}\r\n{}\r\n", 100, true, "{}\r\n{}\r\n", {"{}\r", "{}\r"}},
        {"bytes pass through",
         "\xff\0{}\n\xc3(\n"sv,
         100,
         true,
         "\xff\0{}\n\xc3(\n"sv,
         {"\xff\0{}"s, "\xc3("}},
    };
    const TempDir dir;
    for (const Case& c : cases) {
        const auto w = JSONLReader::head(dir.write("head.jsonl", c.content), c.budget);
        ASSERT_EQ(w.has_value(), c.hasWindow) << c.name;
        if (!w) continue;
        EXPECT_EQ(w->data.view(), c.data) << c.name;
        EXPECT_EQ(texts(*w), c.lines) << c.name;
    }
}

TEST(JSONLReader, Tail) {
    std::string hundred;
    while (hundred.size() < 90) hundred += "{\"n\":" + std::to_string(hundred.size()) + "}\n";
    hundred.resize(100, 'x');  // ends in an unterminated line
    std::vector<std::string> hundredLines;
    for (std::size_t at = 0; at < hundred.size();) {
        const std::size_t lf = std::min(hundred.find('\n', at), hundred.size());
        hundredLines.push_back(hundred.substr(at, lf - at));
        at = lf + 1;
    }

    struct Case {
        const char* name;
        std::string_view content;
        std::uint64_t budget, skip;
        bool hasWindow;
        std::string_view data;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        // Exactly the last line is read, and it is still dropped as possibly cut.
        {"budget 11 of 25", kThree, 11, 0, true, "mnopqrstuv\n", {}},
        {"budget 12 of 25", kThree, 12, 0, true, "\nmnopqrstuv\n", {}},
        {"budget 20 of 25", kThree, 20, 0, true, "efghijkl\nmnopqrstuv\n", {"mnopqrstuv"}},
        {"budget equals size", kThree, 25, 0, true, kThree, {"abcd", "efghijkl", "mnopqrstuv"}},
        {"skip a whole line", kThree, 100, 11, true, "abcd\nefghijkl\n", {"abcd", "efghijkl"}},
        {"skip cuts the last line",
         kThree,
         100,
         5,
         true,
         "abcd\nefghijkl\nmnopqr",
         {"abcd", "efghijkl"}},
        {"cut at both ends", kThree, 10, 5, true, "jkl\nmnopqr", {}},
        {"skip equals size", kThree, 100, 25, false, "", {}},
        {"skip beyond size", kThree, 100, 26, false, "", {}},
        {"zero budget", kThree, 0, 0, false, "", {}},
        {"empty file", "", 100, 0, false, "", {}},
        {"no line feed, cut at start", "abcdefghij", 4, 0, true, "ghij", {}},
        {"no line feed, cut at end", "abcdefghij", 100, 2, true, "abcdefgh", {}},
        {"no line feed, whole", "abcdefghij", 100, 0, true, "abcdefghij", {"abcdefghij"}},
        {"small file, large budget", hundred, 524288, 0, true, hundred, hundredLines},
    };
    const TempDir dir;
    for (const Case& c : cases) {
        const auto w = JSONLReader::tail(dir.write("tail.jsonl", c.content), c.budget, c.skip);
        ASSERT_EQ(w.has_value(), c.hasWindow) << c.name;
        if (!w) continue;
        EXPECT_EQ(w->data.view(), c.data) << c.name;
        EXPECT_EQ(texts(*w), c.lines) << c.name;
    }
}

// The recent window and the older one behind it read the end of a file without gap or overlap.
TEST(JSONLReader, AdjacentTailsTileTheEnd) {
    std::string content;
    for (int i = 0; i < 40; ++i) content += "{\"i\":" + std::to_string(i * 7919 % 1000) + "}\n";
    const TempDir dir;
    const auto file = dir.write("t.jsonl", content);
    for (std::uint64_t recent : {1u, 37u, 100u}) {
        for (std::uint64_t older : {1u, 50u, 200u}) {
            const auto a = JSONLReader::tail(file, older, recent);
            const auto b = JSONLReader::tail(file, recent, 0);
            ASSERT_TRUE(a && b);
            const std::size_t covered = std::min<std::size_t>(recent + older, content.size());
            EXPECT_EQ(std::string(a->data.view()) + std::string(b->data.view()),
                      content.substr(content.size() - covered))
                << recent << " + " << older;
        }
    }
}

// Runs `call` on its own thread; nothing when it has not returned within two seconds.
std::optional<bool> returnsWindowPromptly(std::function<bool()> call) {
    auto task = std::make_shared<std::packaged_task<bool()>>(std::move(call));
    auto result = task->get_future();
    std::thread([task] { (*task)(); }).detach();  // left behind only if it hangs
    if (result.wait_for(std::chrono::seconds(2)) != std::future_status::ready) return std::nullopt;
    return result.get();
}

TEST(JSONLReader, RefusesWhatIsNotARegularFile) {
    const TempDir dir;
    const auto fifo = dir / "fifo.jsonl";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto fifoWithWriter = dir / "fifo-writer.jsonl";
    ASSERT_EQ(::mkfifo(fifoWithWriter.c_str(), 0600), 0);
    // A writer that keeps the pipe open and has written a line: a blocking read would wait on.
    const int writer = ::open(fifoWithWriter.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, "{}\n", 3), 3);

    const auto socketPath = dir / "socket.jsonl";
    const int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.native().size(), sizeof(address.sun_path));
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(sock, 1), 0);

    const auto directory = dir / "dir.jsonl";
    std::filesystem::create_directory(directory);
    dir.write("dir.jsonl/inner.jsonl", "{}\n");
    const auto link = dir / "zero.jsonl";
    std::filesystem::create_symlink("/dev/zero", link);

    const std::filesystem::path paths[] = {
        fifo,        fifoWithWriter, socketPath, directory,
        "/dev/zero", "/dev/null",    link,       dir / "missing.jsonl",
    };
    for (const auto& path : paths) {
        const auto opened =
            returnsWindowPromptly([path] { return RegularFile::open(path).has_value(); });
        EXPECT_EQ(opened, std::optional(false)) << path;
        const auto head =
            returnsWindowPromptly([path] { return JSONLReader::head(path, 98304).has_value(); });
        EXPECT_EQ(head, std::optional(false)) << path;
        const auto tail = returnsWindowPromptly(
            [path] { return JSONLReader::tail(path, 524288, 0).has_value(); });
        EXPECT_EQ(tail, std::optional(false)) << path;
    }
    ::close(sock);
    ::close(writer);
}

TEST(RegularFile, ReadAtFollowsTruncationAndGrowth) {
    const TempDir dir;
    std::string content(1000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 26);
    const auto path = dir.write("f.jsonl", content);

    auto file = RegularFile::open(path);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 1000u);

    const int other = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::ftruncate(other, 300), 0);

    std::vector<char> buffer(1200, '#');
    EXPECT_EQ(file->readAt(0, buffer.data(), 1000), 300u);
    EXPECT_EQ(std::string_view(buffer.data(), 300), content.substr(0, 300));
    EXPECT_EQ(buffer[300], '#');  // nothing written past what arrived
    EXPECT_EQ(file->readAt(250, buffer.data(), 100), 50u);
    EXPECT_EQ(file->readAt(300, buffer.data(), 100), 0u);
    EXPECT_EQ(file->readAt(5000, buffer.data(), 100), 0u);
    EXPECT_EQ(file->size(), 300u);

    const std::string more(900, 'z');
    ASSERT_EQ(::pwrite(other, more.data(), more.size(), 300), 900);
    ::close(other);
    EXPECT_EQ(file->size(), 1200u);
    EXPECT_EQ(file->readAt(0, buffer.data(), 1000), 1000u);  // never more than asked
    EXPECT_EQ(file->readAt(1100, buffer.data(), 200), 100u);
    EXPECT_EQ(std::string_view(buffer.data(), 100), std::string(100, 'z'));
}

// A writer keeps cutting the file back and growing it again while head and tail read it. The file
// is always a prefix of one fixed text and changes by whole pages, so whatever a read sees, each
// line it returns must be one of the lines of that text, never a cut or spliced one.
TEST(JSONLReader, FileChangingDuringReadsYieldsOnlyWholeLines) {
    constexpr std::size_t kPage = 4096;
    constexpr std::size_t kPages = 48;
    std::string text;
    std::unordered_set<std::string> lines;
    std::mt19937 random(7);
    for (std::size_t page = 0; page < kPages; ++page) {
        std::size_t used = 0;
        for (int i = 0; used < kPage; ++i) {
            std::string line =
                "{\"page\":" + std::to_string(page) + ",\"i\":" + std::to_string(i) + ",\"pad\":\"";
            const std::size_t room = kPage - used;
            std::size_t pad = random() % 300;
            if (room < line.size() + pad + 3 + 64) pad = room - line.size() - 3;  // fill the page
            line += std::string(pad, static_cast<char>('a' + i % 26)) + "\"}";
            used += line.size() + 1;
            text += line + "\n";
            lines.insert(line);
        }
        ASSERT_EQ(text.size(), (page + 1) * kPage);
    }

    const TempDir dir;
    const auto path = dir.write("moving.jsonl", text.substr(0, 8 * kPage));
    std::atomic<bool> stop{false}, writerDone{false};
    std::atomic<std::size_t> changes{0};
    std::thread writer([&] {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        std::mt19937 pick(11);
        std::size_t pages = 8;
        while (!stop.load()) {
            const std::size_t target = 1 + pick() % kPages;
            if (target < pages) {
                if (::ftruncate(fd, static_cast<off_t>(target * kPage)) != 0) break;
            }
            for (std::size_t p = std::min(pages, target); p < target; ++p) {
                if (::pwrite(fd, text.data() + p * kPage, kPage, static_cast<off_t>(p * kPage)) !=
                    static_cast<ssize_t>(kPage)) {
                    break;
                }
            }
            pages = target;
            ++changes;
        }
        ::close(fd);
        writerDone = true;
    });

    std::size_t windows = 0, checked = 0;
    const auto check = [&](const std::optional<TranscriptWindow>& w, const char* what) {
        if (!w) return;
        ++windows;
        for (std::size_t i = 0; i < w->lines.size(); ++i, ++checked) {
            // The kernel may show a page being regrown as zeros; such a line is never valid JSON,
            // so it costs only itself. Anything else must be a line that was written.
            const std::string_view line = w->line(i);
            ASSERT_TRUE(lines.count(std::string(line)) || line.find('\0') != line.npos)
                << what << ": " << line;
        }
    };
    // Counted in rounds and changes, not time: a loaded machine just takes longer.
    constexpr std::size_t kRounds = 100, kChanges = 200;
    for (std::size_t round = 0;
         (round < kRounds || changes < kChanges) && !writerDone && !HasFatalFailure(); ++round) {
        for (std::uint64_t budget : {5000u, 20000u, 70000u, 1000000u}) {
            check(JSONLReader::head(path, budget), "head");
            check(JSONLReader::tail(path, budget, 0), "tail");
            check(JSONLReader::tail(path, budget, 9000), "tail with skip");
        }
    }
    stop = true;
    writer.join();
    EXPECT_GE(changes, kChanges) << "the writer stopped early";
    EXPECT_GT(windows, kRounds);
    EXPECT_GT(checked, 1000u);
}

// A line far longer than any window costs only itself: the short line after it survives the tail,
// and the head returns the cut start of the long line as no line at all.
TEST(JSONLReader, LineLongerThanTheWindow) {
    const TempDir dir;
    std::string content = "{\"big\":\"";
    content.append(20u << 20, 'x');
    content += "\"}\n{\"short\":1}\n";
    const auto path = dir.write("long.jsonl", content);

    const auto tail = JSONLReader::tail(path, 524288, 0);
    ASSERT_TRUE(tail);
    EXPECT_EQ(texts(*tail), std::vector<std::string>{"{\"short\":1}"});

    const auto older = JSONLReader::tail(path, 3670016, 524288);
    ASSERT_TRUE(older);
    EXPECT_EQ(older->data.size(), 3670016u);
    EXPECT_TRUE(older->lines.empty());

    const auto head = JSONLReader::head(path, 98304);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->data.size(), 98304u);
    EXPECT_TRUE(head->lines.empty());
}

}  // namespace
}  // namespace wren
