// vntool regex: tries a pattern of the agent's regular-expression dialect on a
// text, as the exclusion test and the name rewrites do.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "inventory/regexp.h"

namespace vntool {
namespace {

const char kHelp[] =
    "vntool regex [--nocase] [--all] [--] PATTERN TEXT\n"
    "  Compiles PATTERN in the agent's regular-expression dialect (case-sensitive\n"
    "  unless --nocase, which folds ASCII letters) and searches TEXT for the\n"
    "  leftmost match. With --all it searches again after each match, as the name\n"
    "  rewrites do, and prints every match. \"--\" ends the options.\n"
    "  Output, one line each, offsets in bytes from 0, END exclusive:\n"
    "    match BEGIN END \"MATCHED TEXT\"\n"
    "    group N BEGIN END \"GROUP TEXT\"      for each match group {...}, N from 0\n"
    "    group N unset                       a group that took no part in the match\n"
    "  or the single line\n"
    "    no match\n"
    "  and, when a search gave up at its step limit (the agent then treats the\n"
    "  pattern as not matching), after any matches found before it:\n"
    "    step limit reached\n"
    "  Texts are quoted with \\\" \\\\ \\t \\r \\n and \\xNN for other bytes below 0x20\n"
    "  or from 0x7F up.\n"
    "  Exit code 0 whether or not it matches; 1 with \"vntool: pattern does not\n"
    "  compile: REASON at offset N\" on stderr when PATTERN is invalid; 2 on wrong\n"
    "  usage.\n";

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            default:
                if (c < 0x20 || c >= 0x7F) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", c);
                    out += hex;
                } else {
                    out += ch;
                }
        }
    }
    return out + "\"";
}

void PrintMatch(std::string_view text, const VN_RegExpMatch& m) {
    std::printf("match %zu %zu %s\n", m.begin, m.end, Quote(text.substr(m.begin, m.end - m.begin)).c_str());
    for (size_t g = 0; g < m.groups.size(); ++g) {
        const VN_RegExpSpan& span = m.groups[g];
        if (span.IsSet())
            std::printf("group %zu %zu %zu %s\n", g, span.begin, span.end, Quote(span.Of(text)).c_str());
        else
            std::printf("group %zu unset\n", g);
    }
}

int Run(const Args& args) {
    bool nocase = false, all = false;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        if (args[i] == "--nocase") {
            nocase = true;
        } else if (args[i] == "--all") {
            all = true;
        } else if (args[i] == "--") {
            ++i;
            break;
        } else if (args[i].size() > 1 && args[i][0] == '-' && args[i][1] == '-') {
            return UsageError("regex: unknown option " + args[i]);
        } else {
            break;
        }
    }
    if (args.size() - i != 2) return UsageError("regex: expected PATTERN and TEXT (see vntool help regex)");
    const std::string& pattern = args[i];
    const std::string& text = args[i + 1];

    VN_RegExp re;
    if (!re.Compile(pattern, !nocase))
        return Fail("pattern does not compile: " + re.ErrorText() + " at offset " + std::to_string(re.ErrorOffset()));

    std::vector<VN_RegExpMatch> matches;
    VN_MatchStatus status;
    if (all) {
        status = re.FindAll(text, &matches);
    } else {
        VN_RegExpMatch m;
        status = re.Match(text, 0, &m);
        if (status == VN_MatchStatus::Matched) matches.push_back(m);
    }
    for (const VN_RegExpMatch& m : matches) PrintMatch(text, m);
    if (matches.empty()) std::printf("no match\n");
    if (status == VN_MatchStatus::StepLimit) std::printf("step limit reached\n");
    return 0;
}

const Registrar registrar({"regex", "try a pattern of the agent's regular-expression dialect on a text", kHelp, Run});

}  // namespace
}  // namespace vntool
