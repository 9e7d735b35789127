// The pattern dialect's matcher: runs the instructions of a compiled pattern
// (regexp_program.h, built by regexp_parser.cpp) on a backtracking machine
// with an explicit stack, so that deep texts cannot exhaust the C++ stack.
#include "inventory/regexp.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "inventory/regexp_program.h"
#include "platform/text.h"

namespace {

using namespace vnregexp;
using vnregexp::Program;

enum class Outcome { Match, Fail, Limit };

// One search over one text. Positions are always character boundaries.
class Machine {
public:
    Machine(const Program& p, std::string_view text, size_t stepLimit, bool allowMemo)
        : p_(p), t_(reinterpret_cast<const unsigned char*>(text.data())), n_(text.size()), budget_(stepLimit) {
        memoise_ = allowMemo && p.memoUsable && n_ < kMaxMemoBits && p.memoRows <= kMaxMemoBits / (n_ + 1);
        const size_t bits = memoise_ ? p.memoRows * (n_ + 1) : 0;
        if (memoise_) seen_.assign((bits + 63) / 64, 0);
    }

    size_t CharLen(size_t pos) const { return pos + 1 < n_ && p_.lead[t_[pos]] ? 2 : 1; }
    size_t MatchEnd() const { return matchEnd_; }

    // Each search of a text gets the full step limit.
    void NewSearch(size_t stepLimit) { budget_ = stepLimit; }

    // After a match the states of its path are marked though they did not
    // fail. A later search of the same text starts at or after the match's
    // end, so only the marks at that position must go.
    void ForgetPathAt(size_t pos) {
        if (!memoise_) return;
        for (size_t row = 0; row < p_.memoRows; ++row) {
            const size_t bit = row * (n_ + 1) + pos;
            seen_[bit / 64] &= ~(uint64_t(1) << (bit % 64));
        }
    }

    // Runs from (pc, pos) until a match, the exhaustion of every alternative
    // (which leaves the slots as they were) or the step limit. `undo` also
    // puts the slots back after a match.
    Outcome Run(uint32_t pc, size_t pos, std::vector<size_t>& slots, bool undo) {
        const size_t base = stack_.size();
        stack_.push_back({pc, 0, pos});
        while (stack_.size() > base) {
            const Entry e = stack_.back();
            stack_.pop_back();
            if (e.pc == kRestore) {
                slots[e.slot] = e.pos;
                continue;
            }
            const Outcome o = Thread(e.pc, e.pos, slots);
            if (o == Outcome::Fail) continue;
            if (o == Outcome::Match && undo) {
                for (size_t i = stack_.size(); i-- > base;)
                    if (stack_[i].pc == kRestore) slots[stack_[i].slot] = stack_[i].pos;
            }
            stack_.resize(base);
            return o;
        }
        return Outcome::Fail;
    }

private:
    static constexpr uint32_t kRestore = UINT32_MAX;
    struct Entry {
        uint32_t pc;  // kRestore: put `pos` back into slot `slot`
        uint32_t slot;
        size_t pos;
    };

    // Runs one thread until it fails, matches or the budget is spent; the
    // alternatives it passes are pushed on the stack.
    Outcome Thread(uint32_t pc, size_t pos, std::vector<size_t>& slots) {
        for (;;) {
            if (budget_ == 0) return Outcome::Limit;
            --budget_;
            const Inst& in = p_.code[pc];
            if (memoise_ && !in.inLookahead) {
                // Without back-references, whether a thread can succeed depends
                // only on its instruction, its position and, for each guarded
                // loop around it, whether the loop's current pass has consumed
                // nothing yet (a pass that consumes nothing fails at its end).
                // With that key a state met again on the current path would
                // have to be a pass that consumed nothing, so a state already
                // seen has failed: one try is enough.
                size_t row = p_.memoRow[pc];
                for (uint32_t i = 0; i < in.loopsCount; ++i)
                    if (slots[p_.loopRegs[in.loopsFirst + i]] == pos) row += size_t(1) << i;
                const size_t bit = row * (n_ + 1) + pos;
                uint64_t& word = seen_[bit / 64];
                const uint64_t mask = uint64_t(1) << (bit % 64);
                if (word & mask) return Outcome::Fail;
                word |= mask;
            }
            switch (in.op) {
                case Op::Byte:
                    if (pos >= n_ || CharLen(pos) != 1 || t_[pos] != in.b1) return Outcome::Fail;
                    ++pos;
                    ++pc;
                    break;
                case Op::ByteFold:
                    if (pos >= n_ || CharLen(pos) != 1 ||
                        static_cast<unsigned char>(textutil::ToLowerAscii(static_cast<char>(t_[pos]))) != in.b1)
                        return Outcome::Fail;
                    ++pos;
                    ++pc;
                    break;
                case Op::Pair:
                    if (pos >= n_ || CharLen(pos) != 2 || t_[pos] != in.b1 || t_[pos + 1] != in.b2)
                        return Outcome::Fail;
                    pos += 2;
                    ++pc;
                    break;
                case Op::Any:
                    if (pos >= n_) return Outcome::Fail;
                    pos += CharLen(pos);
                    ++pc;
                    break;
                case Op::Set: {
                    if (pos >= n_) return Outcome::Fail;
                    const size_t len = CharLen(pos);
                    if (!p_.sets[in.x].Contains(t_ + pos, len)) return Outcome::Fail;
                    pos += len;
                    ++pc;
                    break;
                }
                case Op::Bol:
                    if (pos != 0) return Outcome::Fail;
                    ++pc;
                    break;
                case Op::Eol:
                    if (pos != n_) return Outcome::Fail;
                    ++pc;
                    break;
                case Op::Split:
                    stack_.push_back({in.y, 0, pos});
                    pc = in.x;
                    break;
                case Op::Jmp: pc = in.x; break;
                case Op::Save:
                case Op::Reset:
                    stack_.push_back({kRestore, in.x, slots[in.x]});
                    slots[in.x] = in.op == Op::Save ? pos : VN_RegExp::npos;
                    ++pc;
                    break;
                case Op::Check:
                    if (slots[in.x] == pos) return Outcome::Fail;
                    ++pc;
                    break;
                case Op::BackRef: {
                    const size_t b = slots[2 * in.x], e = slots[2 * in.x + 1];
                    if (b == VN_RegExp::npos || e == VN_RegExp::npos || e < b) return Outcome::Fail;
                    const size_t len = e - b;
                    if (len > n_ - pos || !SameText(b, pos, len)) return Outcome::Fail;
                    // The copy must end on a character boundary of the text.
                    size_t at = pos;
                    while (at < pos + len) at += CharLen(at);
                    if (at != pos + len) return Outcome::Fail;
                    pos += len;
                    ++pc;
                    break;
                }
                case Op::NotAhead: {
                    // Captures inside "!" are never kept.
                    const Outcome sub = Run(pc + 1, pos, slots, true);
                    if (sub == Outcome::Limit) return Outcome::Limit;
                    if (sub == Outcome::Match) return Outcome::Fail;
                    pc = in.x;
                    break;
                }
                case Op::SubMatch: return Outcome::Match;
                case Op::Match: matchEnd_ = pos; return Outcome::Match;
            }
        }
    }

    bool SameText(size_t a, size_t b, size_t len) const {
        for (size_t i = 0; i < len; ++i) {
            if (t_[a + i] == t_[b + i]) continue;
            if (!p_.foldCase) return false;
            if (textutil::ToLowerAscii(static_cast<char>(t_[a + i])) !=
                textutil::ToLowerAscii(static_cast<char>(t_[b + i])))
                return false;
        }
        return true;
    }

    const Program& p_;
    const unsigned char* t_;
    size_t n_;
    size_t budget_;
    bool memoise_ = false;
    std::vector<uint64_t> seen_;
    std::vector<Entry> stack_;
    size_t matchEnd_ = 0;
};

}  // namespace

namespace {

// The leftmost match at or after `start`.
VN_MatchStatus Search(Machine& machine, const Program& p, std::string_view text, size_t start, VN_RegExpMatch* result) {
    const size_t size = text.size();
    if (p.anchored && start > 0) return VN_MatchStatus::NoMatch;
    std::vector<size_t> slots(p.slots, VN_RegExp::npos);
    for (size_t s = start;; s += machine.CharLen(s)) {
        if (p.firstByte >= 0) {
            s = text.find(static_cast<char>(p.firstByte), s);
            if (s == std::string_view::npos) return VN_MatchStatus::NoMatch;
        }
        const Outcome o = machine.Run(0, s, slots, false);
        if (o == Outcome::Limit) return VN_MatchStatus::StepLimit;
        if (o == Outcome::Match) {
            if (result) {
                result->begin = s;
                result->end = machine.MatchEnd();
                result->groups.assign(p.groups, VN_RegExpSpan());
                for (uint32_t g = 0; g < p.groups; ++g) {
                    if (slots[2 * g] == VN_RegExp::npos || slots[2 * g + 1] == VN_RegExp::npos) continue;
                    result->groups[g].begin = slots[2 * g];
                    result->groups[g].end = slots[2 * g + 1];
                }
            }
            return VN_MatchStatus::Matched;
        }
        if (s >= size || p.anchored) return VN_MatchStatus::NoMatch;
    }
}

}  // namespace

VN_MatchStatus VN_RegExp::Match(std::string_view text, size_t start, VN_RegExpMatch* result) const {
    if (!program_ || start > text.size()) return VN_MatchStatus::NoMatch;
    Machine machine(*program_, text, stepLimit_, stateMemo_);
    return Search(machine, *program_, text, start, result);
}

bool VN_RegExp::Matches(std::string_view text) const { return Match(text, 0, nullptr) == VN_MatchStatus::Matched; }

VN_MatchStatus VN_RegExp::FindAll(std::string_view text, std::vector<VN_RegExpMatch>* matches) const {
    if (!program_) return VN_MatchStatus::NoMatch;
    // One machine for all the searches: what failed in one search fails in
    // the next, so the whole text is walked about once.
    Machine machine(*program_, text, stepLimit_, stateMemo_);
    size_t pos = 0;
    bool any = false;
    while (pos <= text.size()) {
        VN_RegExpMatch m;
        machine.NewSearch(stepLimit_);
        const VN_MatchStatus status = Search(machine, *program_, text, pos, &m);
        if (status == VN_MatchStatus::StepLimit) return status;
        if (status == VN_MatchStatus::NoMatch) break;
        any = true;
        if (m.end > m.begin) {
            pos = m.end;
            machine.ForgetPathAt(pos);
        } else {
            if (m.begin >= text.size()) pos = text.size() + 1;
            else pos = m.begin + machine.CharLen(m.begin);
        }
        if (matches) matches->push_back(std::move(m));
    }
    return any ? VN_MatchStatus::Matched : VN_MatchStatus::NoMatch;
}
