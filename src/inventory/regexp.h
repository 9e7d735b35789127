// The regular-expression engine of the agent's pattern dialect: exclusion
// entries from the update service, the name rewrites that drop "(Remove Only)"
// style suffixes, and the search for file paths in uninstall command lines.
//
// The dialect:
//   .          any one character
//   [abc] [a-z] [^...]   a character class, a range, a negated class; inside
//              a class "\x" is the character x
//   ^  $       start and end of the text (zero width)
//   ?  *  +    zero or one, zero or more, one or more (greedy: as many as
//              possible, giving back as needed); ??  *?  +?  take as few as possible
//   ( )        grouping
//   { }        a match group: its text is reported, numbered from 0 in the
//              order of the opening braces
//   a|b        alternation. It binds tighter than concatenation and looser than
//              the repetition operators: "R|rE|e" is (R|r)(E|e), "ab*|c" is a(b*|c)
//   !x         x does not match here (zero width): "a!b" is an a not followed by b
//   \x         the character x taken literally ("\(", "\.", "\\"); there are no
//              control-character escapes: "\t" is the letter t
//   \0 .. \9   the text that match group n matched (fails while it has none)
//   \a [a-zA-Z0-9]   \b [ \t] (a blank or tab, not a word boundary)   \c [a-zA-Z]
//   \d [0-9]   \h [0-9a-fA-F]   \n a line break (\r\n, \n or \r)
//   \q a quoted string ("..." or '...')   \w [a-zA-Z]+   \z [0-9]+
//
// Text is 8-bit (the Windows ANSI code page). On a double-byte code page a
// lead byte and its trail byte form one character: ".", classes and literals
// step over whole characters and a match only starts on a character boundary,
// so the results are those of matching the UTF-16 form of the same text
// (except that a range between double-byte characters, "[X-Y]", follows the
// code page's order of their bytes rather than that of UTF-16). The
// program's own patterns involve only ASCII, so running them on the 8-bit text
// gives what they give on UTF-16 text. The case-insensitive mode folds ASCII
// letters only.
//
// Matching backtracks (leftmost match, alternatives and repetitions tried in
// their order of preference; a pass of a repetition that consumes nothing
// fails) but never recurses on the text and never runs away. A memo of the
// states already tried keeps a search to about pattern size x text length
// steps; it is left off for patterns with back-references, for loops that can
// match nothing nested more than six deep, and when pattern size x text length
// passes 2^26. Every search also has a step limit (1,000,000 unless set), and a search
// that reaches it reports StepLimit, which callers treat as no match: a long
// text can reach it even with the memo on (x*y over 300,000 x's does).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vnregexp {
struct Program;  // the compiled pattern (regexp_program.h)
}

// Where a match or a match group lies in the text: bytes [begin, end).
struct VN_RegExpSpan {
    static constexpr size_t npos = std::string_view::npos;
    size_t begin = npos;  // npos: the group took no part in the match
    size_t end = npos;

    bool IsSet() const { return begin != npos; }
    // The spanned text; empty when unset.
    std::string_view Of(std::string_view text) const {
        return IsSet() ? text.substr(begin, end - begin) : std::string_view();
    }
};

struct VN_RegExpMatch {
    size_t begin = 0;  // the whole match: bytes [begin, end)
    size_t end = 0;
    std::vector<VN_RegExpSpan> groups;  // one per match group, in brace order
};

enum class VN_MatchStatus {
    Matched,
    NoMatch,
    StepLimit,  // the search gave up; treat as no match
};

enum class VN_RegExpError {
    None,
    NotCompiled,         // nothing compiled yet
    TrailingBackslash,   // "\" at the end of the pattern
    MissingParen,        // "(" without ")"
    MissingBrace,        // "{" without "}"
    UnmatchedParen,      // ")" without "("
    UnmatchedBrace,      // "}" without "{"
    MissingBracket,      // "[" without "]"
    EmptyClass,          // "[]" or "[^]"
    BadRange,            // a range whose end is below its start, "[z-a]"
    NothingToRepeat,     // "*", "+" or "?" with no expression before it
    RepeatedQuantifier,  // "a**", "a+*", "a*??"
    MissingOperand,      // "|" or "!" without an expression on a side
    BadBackReference,    // "\n" naming a match group the pattern does not have
    TooDeep,             // groups, braces and "!" nested more than 100 deep
    TooLong,             // a pattern longer than 65536 bytes
};

class VN_RegExp {
public:
    static constexpr size_t npos = std::string_view::npos;
    static constexpr size_t kDefaultStepLimit = 1000000;
    // Tells whether a byte begins a double-byte character.
    using LeadBytePredicate = bool (*)(unsigned char);

    VN_RegExp();
    ~VN_RegExp();
    VN_RegExp(VN_RegExp&&) noexcept;
    VN_RegExp& operator=(VN_RegExp&&) noexcept;
    VN_RegExp(const VN_RegExp&) = delete;
    VN_RegExp& operator=(const VN_RegExp&) = delete;

    // Compiles a pattern; false when it does not compile (see Error, ErrorText,
    // ErrorOffset), after which nothing matches until a pattern compiles.
    // Characters are those of the ANSI code page.
    bool Compile(std::string_view pattern, bool caseSensitive = true);
    // The same with a given double-byte code page (tests, tools).
    bool Compile(std::string_view pattern, bool caseSensitive, LeadBytePredicate isLeadByte);

    bool IsCompiled() const { return program_ != nullptr; }
    VN_RegExpError Error() const { return error_; }
    // "" when compiled, else a short English description of the fault.
    std::string ErrorText() const;
    // Byte offset in the pattern where the fault was found.
    size_t ErrorOffset() const { return errorOffset_; }
    // Number of match groups (pairs of braces).
    size_t GroupCount() const;

    // Steps one search may take before it gives up (at least 1).
    void SetStepLimit(size_t steps) { stepLimit_ = steps ? steps : 1; }
    size_t StepLimit() const { return stepLimit_; }
    // Off: searches no longer remember the states they tried, so only the step
    // limit bounds them. The results are the same; tests use it to check that.
    void SetStateMemo(bool on) { stateMemo_ = on; }

    // Finds the leftmost match that starts at or after byte `start` (a
    // character boundary). "^" still means the start of the whole text.
    // `result` (may be null) is filled only when the status is Matched.
    VN_MatchStatus Match(std::string_view text, size_t start, VN_RegExpMatch* result) const;
    // True when the pattern matches somewhere in the text.
    bool Matches(std::string_view text) const;

    // Every match from the start of the text: each search resumes where the
    // previous match ended (one character further after an empty match).
    // Returns Matched when at least one match was found and the text was
    // searched to its end, NoMatch when there was none, StepLimit when a search
    // gave up (the matches found before it are kept in `matches`).
    VN_MatchStatus FindAll(std::string_view text, std::vector<VN_RegExpMatch>* matches) const;

private:
    std::unique_ptr<const vnregexp::Program> program_;
    VN_RegExpError error_ = VN_RegExpError::NotCompiled;
    size_t errorOffset_ = 0;
    size_t stepLimit_ = kDefaultStepLimit;
    bool stateMemo_ = true;
};

// Describes a compile error in words ("" for None).
const char* VN_RegExpErrorText(VN_RegExpError error);
