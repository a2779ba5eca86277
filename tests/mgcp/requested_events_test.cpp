// The requested-event grammar of R: with its actions and nesting.
#include <gtest/gtest.h>

#include <string>

#include "mgcp/mgcp_events.h"

namespace voxline::test {
namespace {

std::string written(const mgcp_requested_event_list& list) {
    char buffer[MGCP_TEXT_SIZE];
    mgcp_text_writer out(buffer, sizeof buffer);
    if (!write_requested_events(list, out) || out.overflowed()) return "<unwritable>";
    return std::string(out.text());
}

// Reads and writes again; "<unreadable>" when the reader refuses.
std::string rewritten(const std::string& text) {
    mgcp_requested_event_list list;
    if (!read_requested_events(text, &list)) return "<unreadable>";
    return written(list);
}

// Nests "L/hd(E(R(...)))" depth times around L/hu.
std::string nested(int depth) {
    std::string text = "L/hu(N)";
    for (int i = 0; i < depth; ++i) text = "L/hd(E(R(" + text + ")))";
    return text;
}

TEST(requested_events, grammar_cases) {
    struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"L/hd(N, E(R(L/hu(N)),S(L/dl)))", "L/hd(N, E(R(L/hu(N)),S(L/dl)))"},
        {"L/hd", "L/hd(N)"},
        {"L/hd(N),L/hu(N)", "L/hd(N), L/hu(N)"},
        {" L/hd ( N , A ) ", "L/hd(N, A)"},
        {"L/hd(K,I,S,D,A,N)", "L/hd(N, A, D, S, I, K)"},
        {"l/HD(n)", "L/hd(N)"},
        {"D/[0-9#*T](D)", "D/[0-9#*T](D)"},
        {"L/hd(E(S(L/dl, L/v)))", "L/hd(E(S(L/dl, L/v)))"},
        {"L/hd(E(R()))", "L/hd(E(R()))"},
        {"L/hd(E(D([0-9].T),R(L/hu)))", "L/hd(E(R(L/hu(N))))"},
        {"", ""},
        {"L/hd, L/hu, L/oc, L/hf, L/v", "L/hd(N), L/hu(N), L/oc(N), L/hf(N), L/v(N)"},
        // Refused.
        {"L/hd, L/hu, L/oc, L/hf, L/v, L/pg", "<unreadable>"},
        {"L/hd(X)", "<unreadable>"},
        {"L/hd(N", "<unreadable>"},
        {"L/hd(E)", "<unreadable>"},
        {"L/hd(E())", "<unreadable>"},
        {"L/hd(E(Q(L/hu)))", "<unreadable>"},
        {"L/hd(E(R(L/hu))", "<unreadable>"},
        {"L/hd(N) L/hu", "<unreadable>"},
        {"L/hd(N),", "<unreadable>"},
        {"Z/hd(N)", "<unreadable>"},
        {"H/xx(N)", "<unreadable>"},
    };
    for (const auto& c : cases) EXPECT_EQ(rewritten(c.text), c.expected) << c.text;
}

TEST(requested_events, lists_nest_four_levels_deep_and_no_deeper) {
    EXPECT_EQ(rewritten(nested(4)), nested(4));
    EXPECT_EQ(rewritten(nested(5)), "<unreadable>");
    // Deep input fails cleanly rather than exhausting the stack.
    EXPECT_EQ(rewritten(nested(60)), "<unreadable>");
}

TEST(requested_events, embedded_lists_are_kept_apart_from_absent_ones) {
    mgcp_requested_event_list list;
    ASSERT_TRUE(read_requested_events("L/hd(E(S(L/dl)))", &list));
    EXPECT_FALSE(list[0].has_embedded_requests);
    EXPECT_TRUE(list[0].has_embedded_signals);
    ASSERT_TRUE(read_requested_events("L/hd(E(R()))", &list));
    EXPECT_TRUE(list[0].has_embedded_requests);
    EXPECT_TRUE(list[0].embedded_requests.empty());
}

TEST(requested_events, writer_refuses_what_it_cannot_express) {
    mgcp_requested_event entry;
    entry.event = {MGCP_PACKAGE_L, MGCP_L_HD, false, ""};
    entry.actions = MGCP_ACTION_EMBEDDED;  // nothing embedded
    EXPECT_EQ(written({entry}), "<unwritable>");
    entry.event.package = MGCP_PACKAGE_H;  // package without codec
    entry.actions = MGCP_ACTION_NOTIFY;
    EXPECT_EQ(written({entry}), "<unwritable>");
}

}  // namespace
}  // namespace voxline::test
