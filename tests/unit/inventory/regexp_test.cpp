#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/regexp.h"

namespace {

// The matched text of the leftmost match, or "<none>" / "<limit>" / "<invalid>".
std::string First(const std::string& pattern, const std::string& text, bool caseSensitive = true) {
    VN_RegExp re;
    if (!re.Compile(pattern, caseSensitive)) return "<invalid>";
    VN_RegExpMatch m;
    switch (re.Match(text, 0, &m)) {
        case VN_MatchStatus::Matched: return text.substr(m.begin, m.end - m.begin);
        case VN_MatchStatus::NoMatch: return "<none>";
        case VN_MatchStatus::StepLimit: return "<limit>";
    }
    return "?";
}

// The texts of the match groups of the leftmost match ("-" for an unset group).
std::vector<std::string> Groups(const std::string& pattern, const std::string& text) {
    VN_RegExp re;
    EXPECT_TRUE(re.Compile(pattern)) << pattern;
    VN_RegExpMatch m;
    if (re.Match(text, 0, &m) != VN_MatchStatus::Matched) return {"<none>"};
    std::vector<std::string> out;
    for (const VN_RegExpSpan& g : m.groups) out.push_back(g.IsSet() ? std::string(g.Of(text)) : "-");
    return out;
}

// What the program does with a name rewrite: find every match from the start,
// collect the match groups' texts, then remove every occurrence of each.
std::string RemoveGroups(const std::string& pattern, std::string text) {
    VN_RegExp re;
    EXPECT_TRUE(re.Compile(pattern));
    std::vector<VN_RegExpMatch> matches;
    re.FindAll(text, &matches);
    std::vector<std::string> found;
    for (const VN_RegExpMatch& m : matches)
        for (const VN_RegExpSpan& g : m.groups)
            if (g.IsSet() && g.end > g.begin) found.emplace_back(g.Of(text));
    for (const std::string& f : found)
        for (size_t at; (at = text.find(f)) != std::string::npos;) text.erase(at, f.size());
    return text;
}

const char kRemoveOnly[] = "{\\b*\\(\\b*R|rE|eM|mO|oV|vE|e\\b+O|oN|nL|lY|y\\b*\\)\\b*}";
const char kRemoveOrRepair[] = "{\\b*\\(\\b*R|rE|eM|mO|oV|vE|e\\b+O|oR|r\\b+R|rE|eP|pA|aI|iR|r\\b*\\)\\b*}";
const char kUninstallPath[] = "{[a-zA-Z]\\:[^\"\\:\\,]+\\.[a-zA-Z0-9][a-zA-Z0-9][a-zA-Z0-9]}";

// Shift-JIS lead bytes, to exercise a double-byte code page on any host.
bool ShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

TEST(RegExp, AlternationBindsTighterThanConcatenation) {
    for (const char* word : {"RE", "Re", "rE", "re"}) EXPECT_EQ(First("R|rE|e", word), word);
    EXPECT_EQ(First("R|rE|e", "R"), "<none>");
    EXPECT_EQ(First("T|the", "on the mat"), "the");
    EXPECT_EQ(First("a|b|cd", "xbd"), "bd");
    // Repetition binds tighter still: "ab+|c" is a(b+|c).
    EXPECT_EQ(First("ab+|c", "ac"), "ac");
    EXPECT_EQ(First("ab+|c", "abbb"), "abbb");
    EXPECT_EQ(First("ab+|c", "bc"), "<none>");
    // Even inside parentheses "a|ab" is (a|a)b; parentheses make a whole
    // sequence one alternative.
    EXPECT_EQ(First("x(a|ab)", "xa"), "<none>");
    EXPECT_EQ(First("x(a|ab)", "xab"), "xab");
    EXPECT_EQ(First("(ab)|(cd)e", "cde"), "cde");
    // The first alternative that leads to a match wins, not the longest.
    EXPECT_EQ(Groups("{x*|y}y", "yy"), std::vector<std::string>{""});
}

TEST(RegExp, GreedyRepetitionGivesBack) {
    EXPECT_EQ(First("a.*b", "a1b2b3"), "a1b2b");
    EXPECT_EQ(First("a.+b", "ab ab"), "ab ab");
    EXPECT_EQ(First("x[0-9]*0", "x1000y"), "x1000");
    EXPECT_EQ(First("colou?r", "color colour"), "color");
    // The uninstall-path pattern runs to the last three-character extension
    // before the next quote, colon or comma.
    EXPECT_EQ(First(kUninstallPath, "\"C:\\Program Files\\App\\unins000.exe\" /SILENT"),
              "C:\\Program Files\\App\\unins000.exe");
    EXPECT_EQ(First(kUninstallPath, "C:\\App\\setup.exe /log C\\x\\run.txt /q"), "C:\\App\\setup.exe /log C\\x\\run.txt");
    EXPECT_EQ(First(kUninstallPath, "MsiExec.exe /X{11111111-2222-3333-4444-555555555555}"), "<none>");
}

TEST(RegExp, NonGreedyTakesAsLittleAsPossible) {
    EXPECT_EQ(First("<.*?>", "<abc><def>"), "<abc>");
    EXPECT_EQ(First("<.*>", "<abc><def>"), "<abc><def>");
    EXPECT_EQ(First("a+?", "aaa"), "a");
    EXPECT_EQ(First("a??b", "ab"), "ab");   // gives in when the rest needs it
    EXPECT_EQ(First("{a??}a", "aa"), "a");   // but prefers not to
    EXPECT_EQ(Groups("{a??}a", "aa"), std::vector<std::string>{""});
    EXPECT_EQ(Groups("{a?}a", "aa"), std::vector<std::string>{"a"});
    EXPECT_EQ(First("x.*?y", "x1y2y"), "x1y");
}

TEST(RegExp, MatchGroupsInBraceOrder) {
    EXPECT_EQ(Groups("{[0-9]?[0-9]}:{[0-9][0-9]}", "at 1:57"), (std::vector<std::string>{"1", "57"}));
    EXPECT_EQ(First("{[0-9]?[0-9]}:{[0-9][0-9]}", "01/03"), "<none>");
    EXPECT_EQ(Groups("{a{b}}{c}", "abc"), (std::vector<std::string>{"ab", "b", "c"}));
    // Parentheses only group; they are not reported.
    EXPECT_EQ(Groups("(a)({b})", "ab"), std::vector<std::string>{"b"});
    // A group that takes no part is unset; one in a loop keeps its last pass.
    EXPECT_EQ(Groups("{a}|{b}", "b"), (std::vector<std::string>{"-", "b"}));
    EXPECT_EQ(Groups("{[a-z]}+", "abc"), std::vector<std::string>{"c"});
    // A group is reported at its position in the text.
    VN_RegExp re;
    ASSERT_TRUE(re.Compile("{b+}"));
    VN_RegExpMatch m;
    ASSERT_EQ(re.Match("aabbba", 0, &m), VN_MatchStatus::Matched);
    EXPECT_EQ(m.begin, 2u);
    EXPECT_EQ(m.end, 5u);
    EXPECT_EQ(m.groups[0].begin, 2u);
    EXPECT_EQ(m.groups[0].end, 5u);
    EXPECT_EQ(re.GroupCount(), 1u);
}

TEST(RegExp, AnchorsAndStartPosition) {
    EXPECT_EQ(First("^abc", "abcd"), "abc");
    EXPECT_EQ(First("^abc", "xabc"), "<none>");
    EXPECT_EQ(First("abc$", "abcx"), "<none>");
    EXPECT_EQ(First("abc$", "xabc"), "abc");
    EXPECT_EQ(First("^$", ""), "");
    EXPECT_EQ(First("a|^b", "cb"), "<none>");

    VN_RegExp re;
    ASSERT_TRUE(re.Compile("^ab"));
    VN_RegExpMatch m;
    // "^" is the start of the whole text, not of where the search begins.
    EXPECT_EQ(re.Match("abab", 2, &m), VN_MatchStatus::NoMatch);
    ASSERT_TRUE(re.Compile("ab"));
    ASSERT_EQ(re.Match("abab", 1, &m), VN_MatchStatus::Matched);
    EXPECT_EQ(m.begin, 2u);
    EXPECT_EQ(re.Match("abab", 5, &m), VN_MatchStatus::NoMatch);
}

TEST(RegExp, CharacterClasses) {
    EXPECT_EQ(First("[a-c]+", "xxbcaz"), "bca");
    EXPECT_EQ(First("[^abc]+", "abxyc"), "xy");
    EXPECT_EQ(First("[-a]+", "b-a-"), "-a-");      // a dash at the edges is literal
    EXPECT_EQ(First("[a\\-z]+", "bz-a"), "z-a");   // so is an escaped one
    EXPECT_EQ(First("[\\]x]+", "a]x]"), "]x]");
    EXPECT_EQ(First("[^\"\\:\\,]+", "ab\"c"), "ab");
    EXPECT_EQ(First("[0-9a-fA-F]+", "xyz0fF9g"), "0fF9");
    EXPECT_EQ(First("a[^b]", "ab"), "<none>");  // a negated class still needs a character
    EXPECT_EQ(First("[\\b]", "b"), "b");          // escapes inside a class are literal
    EXPECT_EQ(First("[^a]", "\xE9"), "\xE9");
}

TEST(RegExp, EscapesAndAbbreviations) {
    EXPECT_EQ(First("1\\.5", "105 1.5"), "1.5");
    EXPECT_EQ(First("1.5", "105"), "105");
    EXPECT_EQ(First("\\\\x", "a\\x"), "\\x");
    EXPECT_EQ(First("\\(\\)", "f()"), "()");
    EXPECT_EQ(First("\\*\\+\\?\\|\\{\\}\\[\\$\\^\\!", "*+?|{}[$^!"), "*+?|{}[$^!");
    // \b is a blank or a tab, not a word boundary and not the letter b.
    EXPECT_EQ(First("a\\b+b", "a \t b"), "a \t b");
    EXPECT_EQ(First("\\b", "abc"), "<none>");
    EXPECT_EQ(First("\\a+", "--x9Z--"), "x9Z");
    EXPECT_EQ(First("\\c+", "12ab3"), "ab");
    EXPECT_EQ(First("\\d+", "ab123c"), "123");
    EXPECT_EQ(First("\\h+", "xyzBEEFz"), "BEEF");
    EXPECT_EQ(First("\\w", "12 abc de"), "abc");
    EXPECT_EQ(First("\\z", "v10.25"), "10");
    EXPECT_EQ(First("\\q", "say \"hi there\" or 'x'"), "\"hi there\"");
    EXPECT_EQ(First("\\q", "it's 'x'"), "'s '");
    EXPECT_EQ(First("a\\nb", "a\r\nb"), "a\r\nb");
    EXPECT_EQ(First("a\\nb", "a\rb a\nb"), "a\rb");
    EXPECT_EQ(First("x\\n", "x\r\n"), "x\r\n");  // a CR LF pair is taken whole
    // A repetition applies to an abbreviation as a whole.
    EXPECT_EQ(First("(\\d+,)*\\d+", "1,23,456"), "1,23,456");
}

TEST(RegExp, BackReferencesAndNegation) {
    EXPECT_EQ(First("<{.*?}>.*?</\\0>", "<head>Contents</head>"), "<head>Contents</head>");
    EXPECT_EQ(First("{[a-z]}\\0", "abccd"), "cc");
    EXPECT_EQ(First("\\0{a}", "aa"), "<none>");  // group not yet matched
    EXPECT_EQ(First("{a}\\0", "aA", false), "aA");

    EXPECT_EQ(First("a!b", "abac"), "a");
    EXPECT_EQ(Groups("{a}!b", "abac"), std::vector<std::string>{"a"});
    EXPECT_EQ(First("foo!(bar)", "foobar foobaz"), "foo");
    VN_RegExp re;
    ASSERT_TRUE(re.Compile("foo!(bar)"));
    VN_RegExpMatch m;
    ASSERT_EQ(re.Match("foobar foobaz", 0, &m), VN_MatchStatus::Matched);
    EXPECT_EQ(m.begin, 7u);
    // Groups inside a negation never report a text, nor leave one behind for
    // a back-reference in the alternative tried next.
    EXPECT_EQ(Groups("x!{y}", "xz"), std::vector<std::string>{"-"});
    EXPECT_EQ(First("(!{a}|{c}?)\\0", "a"), "<none>");
}

TEST(RegExp, InvalidPatternsAreReported) {
    struct Case {
        const char* pattern;
        VN_RegExpError error;
        size_t offset;
    };
    const Case cases[] = {
        {"abc\\", VN_RegExpError::TrailingBackslash, 3},
        {"a(bc", VN_RegExpError::MissingParen, 1},
        {"{ab", VN_RegExpError::MissingBrace, 0},
        {"ab)", VN_RegExpError::UnmatchedParen, 2},
        {"a}", VN_RegExpError::UnmatchedBrace, 1},
        {"x[abc", VN_RegExpError::MissingBracket, 1},
        {"[]", VN_RegExpError::EmptyClass, 1},
        {"[^]a", VN_RegExpError::EmptyClass, 2},
        {"[z-a]", VN_RegExpError::BadRange, 1},
        {"*Toolbar", VN_RegExpError::NothingToRepeat, 0},
        {"a|*", VN_RegExpError::NothingToRepeat, 2},
        {"^*", VN_RegExpError::NothingToRepeat, 1},
        {"Visual C++ 2005*", VN_RegExpError::RepeatedQuantifier, 9},
        {"a*??", VN_RegExpError::RepeatedQuantifier, 3},
        {"a|", VN_RegExpError::MissingOperand, 2},
        {"|a", VN_RegExpError::MissingOperand, 0},
        {"(a|)", VN_RegExpError::MissingOperand, 3},
        {"a!", VN_RegExpError::MissingOperand, 2},
        {"{a}\\1", VN_RegExpError::BadBackReference, 3},
    };
    for (const Case& c : cases) {
        VN_RegExp re;
        EXPECT_FALSE(re.Compile(c.pattern)) << c.pattern;
        EXPECT_EQ(re.Error(), c.error) << c.pattern;
        EXPECT_EQ(re.ErrorOffset(), c.offset) << c.pattern;
        EXPECT_FALSE(re.ErrorText().empty());
        EXPECT_EQ(re.Match("anything", 0, nullptr), VN_MatchStatus::NoMatch);
    }
    // A failed compile also forgets the pattern compiled before.
    VN_RegExp re;
    ASSERT_TRUE(re.Compile("a"));
    EXPECT_FALSE(re.Compile("("));
    EXPECT_FALSE(re.IsCompiled());
    EXPECT_FALSE(re.Matches("a"));

    // Empty groups and an empty pattern are valid and match the empty text.
    EXPECT_EQ(First("", "abc"), "");
    EXPECT_EQ(First("a(){}b", "ab"), "ab");

    std::string deep(100, '(');
    deep += "a" + std::string(100, ')');
    EXPECT_TRUE(VN_RegExp().Compile(deep));
    EXPECT_EQ(First("(" + deep + ")", "a"), "<invalid>");
    EXPECT_EQ(First(std::string(70000, 'a'), "a"), "<invalid>");
}

TEST(RegExp, CaseModes) {
    EXPECT_EQ(First("remove", "REMOVE"), "<none>");
    EXPECT_EQ(First("remove", "ReMoVe", false), "ReMoVe");
    EXPECT_EQ(First("[a-c]+", "xABCd", false), "ABC");
    EXPECT_EQ(First("[A-C]+", "xabcd", false), "abc");
    EXPECT_EQ(First("[^a]", "A", false), "<none>");
    EXPECT_EQ(First("[^a]", "A"), "A");
    EXPECT_EQ(First("\\d+", "12", false), "12");
    // Only ASCII letters fold: E acute (0xC9) and e acute (0xE9) stay apart.
    EXPECT_EQ(First("\xE9", "\xC9", false), "<none>");
    EXPECT_EQ(First("[\xE9]", "\xC9", false), "<none>");
}

TEST(RegExp, ProgramPatternsOnRealisticNames) {
    EXPECT_EQ(RemoveGroups(kRemoveOnly, "Foo Bar (Remove Only)"), "Foo Bar");
    EXPECT_EQ(RemoveGroups(kRemoveOnly, "Foo Bar ( remove\tONLY )"), "Foo Bar");
    EXPECT_EQ(RemoveGroups(kRemoveOrRepair, "Foo Bar (REMOVE OR REPAIR)"), "Foo Bar");
    // Both rewrites, one after the other, as the product scan runs them.
    EXPECT_EQ(RemoveGroups(kRemoveOrRepair, RemoveGroups(kRemoveOnly, "Foo (remove   only) (REMOVE OR REPAIR)")), "Foo");
    // The blanks around the parentheses go with them, also in the middle.
    EXPECT_EQ(RemoveGroups(kRemoveOnly, "Foo (Remove Only) 2.0"), "Foo2.0");
    // Each text found is removed wherever it occurs.
    EXPECT_EQ(RemoveGroups(kRemoveOnly, "A (Remove Only)B (Remove Only)"), "AB");
    // Not touched: empty parentheses, other words, the words run together.
    for (const char* name : {"Foo ()", "Foo (x64)", "Foo (Remove)", "Foo (RemoveOnly)", "Foo Remove Only", "Foo (Remove Only"})
        EXPECT_EQ(RemoveGroups(kRemoveOnly, name), name);
    EXPECT_EQ(RemoveGroups(kRemoveOrRepair, "Foo (Remove Only)"), "Foo (Remove Only)");

    // Exclusion entries: the star repeats the character before it.
    EXPECT_TRUE([] { VN_RegExp re; return re.Compile("Toolbar*") && re.Matches("Foo Toolba"); }());
    EXPECT_TRUE([] { VN_RegExp re; return re.Compile("Toolbar*") && re.Matches("My Toolbarrr 2"); }());
    EXPECT_FALSE([] { VN_RegExp re; return re.Compile("^Toolbar*") && re.Matches("My Toolbar"); }());
    EXPECT_FALSE([] { VN_RegExp re; return re.Compile("Toolbar*") && re.Matches("my toolbar"); }());
}

TEST(RegExp, FindAllResumesAfterEachMatch) {
    VN_RegExp re;
    ASSERT_TRUE(re.Compile(kUninstallPath));
    const std::string cmd = "\"C:\\a\\un.exe\" /log=D:\\b\\u.log,E:\\c\\x.dat";
    std::vector<VN_RegExpMatch> all;
    EXPECT_EQ(re.FindAll(cmd, &all), VN_MatchStatus::Matched);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].groups[0].Of(cmd), "C:\\a\\un.exe");
    EXPECT_EQ(all[1].groups[0].Of(cmd), "D:\\b\\u.log");
    EXPECT_EQ(all[2].groups[0].Of(cmd), "E:\\c\\x.dat");

    // Empty matches advance by one character instead of repeating.
    ASSERT_TRUE(re.Compile("x*"));
    all.clear();
    EXPECT_EQ(re.FindAll("axxb", &all), VN_MatchStatus::Matched);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[1].begin, 1u);
    EXPECT_EQ(all[1].end, 3u);
    EXPECT_EQ(all[3].begin, 4u);

    all.clear();
    ASSERT_TRUE(re.Compile("q"));
    EXPECT_EQ(re.FindAll("abc", &all), VN_MatchStatus::NoMatch);
    EXPECT_TRUE(all.empty());
}

TEST(RegExp, HostileInputsStayBounded) {
    const std::string as(20000, 'a');
    // Nested repetition that is exponential for a naive backtracker answers
    // exactly, because each state is tried only once.
    EXPECT_EQ(First("(a*)*b", as), "<none>");
    EXPECT_EQ(First("(a|aa)+$", as), as);
    EXPECT_EQ(First("((a?)*)*c", as), "<none>");
    // Loops whose body can match nothing terminate.
    EXPECT_EQ(First("(a?)+", ""), "");
    EXPECT_EQ(First("(!b)*x", "ax"), "x");
    EXPECT_EQ(First("{(a*)*}\\0$", "aa"), "aa");
    // With a back-reference the state space is not finite; the step limit ends it.
    EXPECT_EQ(First("{(a|aa)*}*\\0b", as), "<limit>");

    VN_RegExp re;
    ASSERT_TRUE(re.Compile("(a|b)*c"));
    re.SetStepLimit(50);
    EXPECT_EQ(re.Match(as, 0, nullptr), VN_MatchStatus::StepLimit);
    std::vector<VN_RegExpMatch> all;
    EXPECT_EQ(re.FindAll(as, &all), VN_MatchStatus::StepLimit);
    re.SetStepLimit(VN_RegExp::kDefaultStepLimit);
    EXPECT_EQ(re.Match(std::string(1000, 'a') + "c", 0, nullptr), VN_MatchStatus::Matched);
}

TEST(RegExp, StateMemoNeverChangesTheAnswer) {
    // Repetitions whose body can match nothing meet the same instruction and
    // position again within one path; the memo must not take that for a
    // failure, or a lower-priority match wins.
    EXPECT_EQ(First("<{.*?}*>?.{.*?}", "<HEAD>x"), "<HEAD>x");
    EXPECT_EQ(Groups("<{.*?}*>?.{.*?}", "<HEAD>x"), (std::vector<std::string>{">", ""}));
    const char* const cases[][2] = {
        {"<{.*?}*>?.{.*?}", "<a>b<HEAD>x"}, {"{(a?)*?}b", "aab"}, {"({a*?}|b)*c", "abaabc"},
        {"((x?)+y?)*z", "xyxxyz"},          {"{.??}+.", "abc"},   {"({\\b*})*\\c", "  \t a"},
        {"(!a.?)*", "bcab"},                {"{(a|b?)+?}+b", "aab"}, {"(((a?)*b?)*c?)*d", "abcabd"},
    };
    for (const auto& c : cases) {
        VN_RegExp re;
        ASSERT_TRUE(re.Compile(c[0])) << c[0];
        VN_RegExpMatch withMemo, without;
        const VN_MatchStatus a = re.Match(c[1], 0, &withMemo);
        re.SetStateMemo(false);
        const VN_MatchStatus b = re.Match(c[1], 0, &without);
        ASSERT_EQ(a, b) << c[0];
        if (a != VN_MatchStatus::Matched) continue;
        EXPECT_EQ(withMemo.begin, without.begin) << c[0];
        EXPECT_EQ(withMemo.end, without.end) << c[0];
        for (size_t g = 0; g < withMemo.groups.size(); ++g) {
            EXPECT_EQ(withMemo.groups[g].begin, without.groups[g].begin) << c[0] << " group " << g;
            EXPECT_EQ(withMemo.groups[g].end, without.groups[g].end) << c[0] << " group " << g;
        }
    }
}

TEST(RegExp, DoubleByteCharactersStayWhole) {
    // 0x83 0x5C is one Shift-JIS character whose second byte is a backslash,
    // and 0x83 0x43 one whose second byte is "C".
    const std::string so = "\x83\x5C", i = "\x83\x43";
    VN_RegExp re;
    ASSERT_TRUE(re.Compile("a" + so + "b", true, ShiftJisLead));
    EXPECT_TRUE(re.Matches("xa" + so + "b"));
    // A repetition repeats the whole character.
    ASSERT_TRUE(re.Compile("x" + so + "*y", true, ShiftJisLead));
    EXPECT_TRUE(re.Matches("x" + so + so + "y"));
    EXPECT_TRUE(re.Matches("xy"));
    // "." and negated classes take both bytes; a match never starts on a second byte.
    ASSERT_TRUE(re.Compile("^.$", true, ShiftJisLead));
    EXPECT_TRUE(re.Matches(so));
    ASSERT_TRUE(re.Compile("^[^a]$", true, ShiftJisLead));
    EXPECT_TRUE(re.Matches(so));
    ASSERT_TRUE(re.Compile("\\\\", true, ShiftJisLead));
    EXPECT_FALSE(re.Matches(so));
    ASSERT_TRUE(re.Compile(kUninstallPath, true, ShiftJisLead));
    EXPECT_FALSE(re.Matches(i + ":\\x\\y.exe"));
    VN_RegExpMatch m;
    ASSERT_EQ(re.Match(i + " D:\\x\\y.exe", 0, &m), VN_MatchStatus::Matched);
    EXPECT_EQ(m.begin, 3u);
    // A class may hold double-byte characters and ranges of them.
    ASSERT_TRUE(re.Compile("[" + so + "]+", true, ShiftJisLead));
    ASSERT_EQ(re.Match("\x5C" + so + so, 0, &m), VN_MatchStatus::Matched);
    EXPECT_EQ(m.begin, 1u);
    EXPECT_EQ(m.end, 5u);
    ASSERT_TRUE(re.Compile("[\x83\x40-\x83\x96]", true, ShiftJisLead));
    EXPECT_TRUE(re.Matches(i));
    EXPECT_FALSE(re.Matches("\x82\xA0"));
    // In case-insensitive mode the second byte is not folded.
    ASSERT_TRUE(re.Compile("\x83\x63", false, ShiftJisLead));
    EXPECT_FALSE(re.Matches(i));
}
