#include "core/sessions/finish_notice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/sessions/quota_format.h"

namespace wren {
namespace {

constexpr double kNow = 1757505600;  // 2025-09-10T12:00:00Z, a Wednesday

SessionSummary session(std::string id, TurnState turn, double secondsAgo,
                       std::optional<std::string> message = std::nullopt) {
    SessionSummary s;
    s.id = std::move(id);
    s.agent = Agent::codex;
    s.project = "site";
    s.turn = turn;
    s.lastActivity = instantFromUnix(kNow - secondsAgo);
    s.lastUserMessage = std::move(message);
    return s;
}

std::vector<std::string> ids(const std::vector<SessionSummary>& sessions) {
    std::vector<std::string> out;
    for (const SessionSummary& s : sessions) out.push_back(s.id);
    return out;
}

// Only working → finished between two consecutive snapshots is news.
TEST(FinishWatch, AnnouncesOnlyWorkingToFinished) {
    using T = TurnState;
    struct Case {
        const char* what;
        std::vector<SessionSummary> before;
        std::vector<SessionSummary> after;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"working, then finished", {session("a", T::open, 5)}, {session("a", T::ended, 0)}, {"a"}},
        {"finished twice", {session("a", T::ended, 5)}, {session("a", T::ended, 0)}, {}},
        {"open but stale was idle", {session("a", T::open, 300)}, {session("a", T::ended, 0)}, {}},
        {"unknown before", {session("a", T::unknown, 5)}, {session("a", T::ended, 0)}, {}},
        {"still working", {session("a", T::open, 5)}, {session("a", T::open, 1)}, {}},
        {"working, then unknown (interrupted)",
         {session("a", T::open, 5)},
         {session("a", T::unknown, 0)},
         {}},
        {"a new session that is already finished", {}, {session("b", T::ended, 0)}, {}},
        {"two of three, in the new list's order",
         {session("a", T::open, 5), session("b", T::open, 5), session("c", T::open, 5)},
         {session("c", T::ended, 0), session("b", T::open, 0), session("a", T::ended, 0)},
         {"c", "a"}},
    };
    for (const Case& c : cases) {
        FinishWatch watch;
        EXPECT_TRUE(watch.update(c.before, instantFromUnix(kNow - 1)).empty()) << c.what;
        EXPECT_EQ(ids(watch.update(c.after, instantFromUnix(kNow))), c.expected) << c.what;
    }

    // Announced once: the next snapshot, with nothing changed, is quiet.
    FinishWatch watch;
    watch.update({session("a", T::open, 5)}, instantFromUnix(kNow - 1));
    EXPECT_EQ(watch.update({session("a", T::ended, 0)}, instantFromUnix(kNow)).size(), 1u);
    EXPECT_TRUE(watch.update({session("a", T::ended, 0)}, instantFromUnix(kNow + 1)).empty());
}

TEST(FinishNotice, TitledByAgentAndProjectWithThePromptAsPlainText) {
    const struct {
        const char* text;
        const char* escaped;
    } cases[] = {
        {"fix <b>bold</b> & more", "fix &lt;b&gt;bold&lt;/b&gt; &amp; more"},
        {"&amp; stays literal", "&amp;amp; stays literal"},
        {"<img src=x onerror=y>", "&lt;img src=x onerror=y&gt;"},
        {"caf\u00e9 \"quoted\" 'single'", "caf\u00e9 \"quoted\" 'single'"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(escapeMarkup(c.text), c.escaped) << c.text;

    const FinishNotice notice = finishNotice(session("a", TurnState::ended, 0, "a < b"));
    EXPECT_EQ(notice.title, "Codex finished \u00b7 site");
    EXPECT_EQ(notice.body, "a &lt; b");
    EXPECT_EQ(finishNotice(session("a", TurnState::ended, 0)).body, "");
}

TEST(FinishNotice, WaitingAreTheRecentFinishedSessions) {
    const Instant now = instantFromUnix(kNow);
    EXPECT_EQ(
        waitingCount({session("a", TurnState::ended, 60), session("b", TurnState::open, 10),
                      session("c", TurnState::ended, 7200), session("d", TurnState::ended, 7201),
                      session("e", TurnState::unknown, 10)},
                     now),
        2);
}

TEST(QuotaFormat, LengthResetsAndAge) {
    for (const auto& [minutes, text] :
         std::vector<std::pair<std::int64_t, std::string>>{{300, "5 h"},
                                                           {10080, "week"},
                                                           {60, "1 h"},
                                                           {2880, "2 d"},
                                                           {90, "90 min"},
                                                           {0, "0 min"}}) {
        EXPECT_EQ(QuotaFormat::length(minutes), text) << minutes;
    }
    // Berlin is two hours ahead in September: noon UTC is 14:00 there.
    const LocalCalendar berlin("Europe/Berlin");
    const Instant now = instantFromUnix(kNow);
    const struct {
        double reset;
        const char* text;
    } resets[] = {
        {kNow + 30 * 60, "resets 14:30"},
        {kNow + 9.5 * 3600, "resets 23:30"},
        {kNow + 10 * 3600, "resets Thu 00:00"},
        {kNow + 5 * 86400 - 5 * 3600, "resets Mon 09:00"},
        {kNow + 8 * 86400, "resets 18 Sep 14:00"},
    };
    for (const auto& r : resets) {
        EXPECT_EQ(QuotaFormat::resets(instantFromUnix(r.reset), now, berlin), r.text) << r.reset;
    }
    const RateWindow cached{46, 300, instantFromUnix(kNow + 30 * 60), QuotaSource::cache,
                            instantFromUnix(kNow - 3 * 3600 - 59)};
    EXPECT_EQ(QuotaFormat::line(cached, now, berlin), "5 h: 54% left \u00b7 resets 14:30");
    EXPECT_EQ(QuotaFormat::age(*cached.asOf, now), "as of 3 h ago");
    EXPECT_EQ(QuotaFormat::age(now - Seconds(59), now), "as of just now");
    EXPECT_EQ(QuotaFormat::age(now - Seconds(60), now), "as of 1 min ago");
    EXPECT_EQ(QuotaFormat::age(now - Seconds(3 * 86400), now), "as of 3 d ago");
    EXPECT_EQ(QuotaFormat::age(now + Seconds(600), now), "as of just now");  // skew
    const RateWindow over{140, 10080, std::nullopt, QuotaSource::transcript, std::nullopt};
    EXPECT_EQ(QuotaFormat::line(over, now, berlin), "week: 0% left");
}

}  // namespace
}  // namespace wren
