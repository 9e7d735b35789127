// The compiled form of a pattern, shared by the parser (regexp_parser.cpp),
// which builds it, and the matcher (regexp_matcher.cpp), which runs it. Not
// for use outside the pattern engine: the interface is inventory/regexp.h.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vnregexp {

// Memo bits per search (8 MiB); larger searches run on the step limit alone.
constexpr size_t kMaxMemoBits = size_t(1) << 26;

// ---------------------------------------------------------------- characters

struct CharSet {
    std::bitset<256> bytes;                           // single-byte members
    std::vector<std::pair<uint16_t, uint16_t>> wide;  // double-byte ranges, lead * 256 + trail
    bool negated = false;

    bool Contains(const unsigned char* c, size_t len) const {
        bool in;
        if (len == 1) {
            in = bytes[c[0]];
        } else {
            const uint16_t code = static_cast<uint16_t>(c[0] << 8 | c[1]);
            in = false;
            for (const auto& r : wide)
                if (code >= r.first && code <= r.second) {
                    in = true;
                    break;
                }
        }
        return in != negated;
    }
};

using LeadTable = std::bitset<256>;

// ---------------------------------------------------------------- program

enum class Op : uint8_t {
    Byte,      // b1
    ByteFold,  // b1 (lower case), compared after folding the text's byte
    Pair,      // b1 b2: one double-byte character
    Any,
    Set,  // x: set number
    Bol,
    Eol,
    Split,     // try x, then y
    Jmp,       // x
    Save,      // slot x := position
    Reset,     // slot x := unset
    Check,     // fails when slot x equals the position (a loop pass that consumed nothing)
    BackRef,   // x: group number
    NotAhead,  // the sub-program from the next instruction must fail here; continue at x
    SubMatch,  // end of a NotAhead sub-program
    Match,
};

struct Inst {
    Op op;
    unsigned char b1 = 0, b2 = 0;
    bool inLookahead = false;  // inside a "!" sub-program: not memoised
    uint32_t x = 0, y = 0;
    // The registers of the guarded loops (bodies that can match nothing)
    // around this instruction: loopRegs[loopsFirst, loopsFirst + loopsCount).
    uint32_t loopsFirst = 0, loopsCount = 0;
};

struct Program {
    std::vector<Inst> code;
    std::vector<uint32_t> loopRegs;  // see Inst::loopsFirst
    // Memo rows of each instruction: one per combination of its guarded
    // loops' "this pass has consumed nothing yet" flags; none inside "!".
    std::vector<size_t> memoRow;
    size_t memoRows = 0;
    bool memoUsable = false;
    std::vector<CharSet> sets;
    LeadTable lead;
    uint32_t groups = 0;
    uint32_t slots = 0;  // 2 per group, then the loop registers
    bool hasBackRefs = false;
    bool foldCase = false;
    // Every match starts at the start of the text ("^" first).
    bool anchored = false;
    // Every match starts with this byte, which never occurs inside a
    // double-byte character (-1: no such byte).
    int firstByte = -1;
};

}  // namespace vnregexp
