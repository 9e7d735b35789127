// The pattern dialect's parser: a recursive-descent parser builds a small
// syntax tree, which is compiled into the instructions of regexp_program.h;
// regexp_matcher.cpp runs them.
#include "inventory/regexp.h"

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <utility>

#include "inventory/regexp_program.h"
#include "platform/codepage.h"
#include "platform/text.h"

namespace {

using namespace vnregexp;

constexpr size_t kMaxPatternLength = 65536;
constexpr int kMaxNesting = 100;
// Loops that can match nothing, nested deeper than this, turn the memo off.
constexpr size_t kMaxMemoLoops = 6;

// ---------------------------------------------------------------- syntax tree

enum class Kind { Empty, Byte, Pair, Any, Set, Bol, Eol, Concat, Alt, Repeat, Group, NotAhead, BackRef };

struct Node {
    explicit Node(Kind k) : kind(k) {}
    Kind kind;
    unsigned char b1 = 0, b2 = 0;  // Byte, Pair
    uint32_t index = 0;            // Set: set number; Group: group number; BackRef: group number
    bool capture = false;          // Group: a match group (braces) rather than parentheses
    bool atLeastOne = false;       // Repeat: "+"
    bool unbounded = false;        // Repeat: "*" or "+"
    bool greedy = true;            // Repeat
    std::vector<std::unique_ptr<Node>> kids;
};

using NodePtr = std::unique_ptr<Node>;

NodePtr MakeNode(Kind k) { return std::make_unique<Node>(k); }

NodePtr WithKid(Kind k, NodePtr kid) {
    NodePtr n = MakeNode(k);
    n->kids.push_back(std::move(kid));
    return n;
}

bool Nullable(const Node& n) {
    switch (n.kind) {
        case Kind::Empty: case Kind::Bol: case Kind::Eol: case Kind::NotAhead: case Kind::BackRef:
            return true;
        case Kind::Byte: case Kind::Pair: case Kind::Any: case Kind::Set:
            return false;
        case Kind::Concat:
            for (const NodePtr& k : n.kids)
                if (!Nullable(*k)) return false;
            return true;
        case Kind::Alt:
            for (const NodePtr& k : n.kids)
                if (Nullable(*k)) return true;
            return false;
        case Kind::Repeat:
            return !n.atLeastOne || Nullable(*n.kids[0]);
        case Kind::Group:
            return Nullable(*n.kids[0]);
    }
    return true;
}

struct CompileError {
    VN_RegExpError code;
    size_t offset;
};

class Parser {
public:
    Parser(std::string_view pattern, bool fold, const LeadTable& lead, std::vector<CharSet>& sets)
        : p_(pattern), fold_(fold), lead_(lead), sets_(sets) {}

    NodePtr ParseAll() {
        NodePtr root = ParseSequence();
        if (pos_ < p_.size())
            Fail(p_[pos_] == ')' ? VN_RegExpError::UnmatchedParen : VN_RegExpError::UnmatchedBrace);
        for (const auto& ref : backRefs_)
            if (ref.first >= groups_) throw CompileError{VN_RegExpError::BadBackReference, ref.second};
        return root;
    }

    uint32_t Groups() const { return groups_; }
    bool HasBackRefs() const { return !backRefs_.empty(); }

private:
    [[noreturn]] void Fail(VN_RegExpError code) { throw CompileError{code, pos_}; }
    [[noreturn]] void FailAt(VN_RegExpError code, size_t offset) { throw CompileError{code, offset}; }

    bool AtEnd() const { return pos_ >= p_.size(); }
    char Peek() const { return p_[pos_]; }
    bool IsLead(size_t at) const {
        return at + 1 < p_.size() && lead_[static_cast<unsigned char>(p_[at])];
    }

    // A sequence of alternations, up to ")" "}" or the end.
    NodePtr ParseSequence() {
        NodePtr seq = MakeNode(Kind::Concat);
        while (!AtEnd() && Peek() != ')' && Peek() != '}') seq->kids.push_back(ParseAlternation());
        return seq;
    }

    NodePtr ParseAlternation() {
        NodePtr first = ParseFactor();
        if (AtEnd() || Peek() != '|') return first;
        NodePtr alt = MakeNode(Kind::Alt);
        alt->kids.push_back(std::move(first));
        while (!AtEnd() && Peek() == '|') {
            ++pos_;
            if (AtEnd() || Peek() == '|' || Peek() == ')' || Peek() == '}') Fail(VN_RegExpError::MissingOperand);
            alt->kids.push_back(ParseFactor());
        }
        return alt;
    }

    NodePtr ParseFactor() {
        if (Peek() != '!') return ParseTerm();
        ++pos_;
        if (AtEnd() || Peek() == '|' || Peek() == ')' || Peek() == '}') Fail(VN_RegExpError::MissingOperand);
        Enter();
        NodePtr inner = ParseFactor();
        --depth_;
        return WithKid(Kind::NotAhead, std::move(inner));
    }

    static bool IsQuantifier(char c) { return c == '*' || c == '+' || c == '?'; }

    NodePtr ParseTerm() {
        NodePtr atom = ParseAtom();
        if (AtEnd() || !IsQuantifier(Peek())) return atom;
        if (atom->kind == Kind::Bol || atom->kind == Kind::Eol) Fail(VN_RegExpError::NothingToRepeat);
        NodePtr rep = WithKid(Kind::Repeat, std::move(atom));
        const char q = p_[pos_++];
        rep->atLeastOne = q == '+';
        rep->unbounded = q != '?';
        if (!AtEnd() && Peek() == '?') {
            rep->greedy = false;
            ++pos_;
        }
        if (!AtEnd() && IsQuantifier(Peek())) Fail(VN_RegExpError::RepeatedQuantifier);
        return rep;
    }

    void Enter() {
        if (++depth_ > kMaxNesting) Fail(VN_RegExpError::TooDeep);
    }

    NodePtr ParseAtom() {
        const char c = Peek();
        switch (c) {
            case '(':
            case '{': {
                const size_t open = pos_++;
                Enter();
                NodePtr group = MakeNode(Kind::Group);
                if (c == '{') {
                    group->capture = true;
                    group->index = groups_++;
                }
                group->kids.push_back(ParseSequence());
                const char close = c == '(' ? ')' : '}';
                if (AtEnd() || Peek() != close)
                    FailAt(c == '(' ? VN_RegExpError::MissingParen : VN_RegExpError::MissingBrace, open);
                ++pos_;
                --depth_;
                return group;
            }
            case ')': Fail(VN_RegExpError::UnmatchedParen);
            case '}': Fail(VN_RegExpError::UnmatchedBrace);
            case '*': case '+': case '?': Fail(VN_RegExpError::NothingToRepeat);
            case '|': Fail(VN_RegExpError::MissingOperand);
            case '[': return ParseClass();
            case '.': ++pos_; return MakeNode(Kind::Any);
            case '^': ++pos_; return MakeNode(Kind::Bol);
            case '$': ++pos_; return MakeNode(Kind::Eol);
            case '\\': return ParseEscape();
            default: return ParseLiteral();
        }
    }

    NodePtr ParseLiteral() {
        if (IsLead(pos_)) {
            NodePtr n = MakeNode(Kind::Pair);
            n->b1 = static_cast<unsigned char>(p_[pos_]);
            n->b2 = static_cast<unsigned char>(p_[pos_ + 1]);
            pos_ += 2;
            return n;
        }
        return ByteNode(static_cast<unsigned char>(p_[pos_++]));
    }

    NodePtr ByteNode(unsigned char b) {
        NodePtr n = MakeNode(Kind::Byte);
        n->b1 = b;
        return n;
    }

    NodePtr SetNode(CharSet set) {
        if (fold_) FoldSet(set);
        NodePtr n = MakeNode(Kind::Set);
        n->index = static_cast<uint32_t>(sets_.size());
        sets_.push_back(std::move(set));
        return n;
    }

    static void FoldSet(CharSet& set) {
        for (int c = 'a'; c <= 'z'; ++c) {
            const int u = c - 'a' + 'A';
            if (set.bytes[c] || set.bytes[u]) set.bytes[c] = set.bytes[u] = true;
        }
    }

    static CharSet Ranges(std::initializer_list<std::pair<char, char>> ranges, bool negated = false) {
        CharSet set;
        for (const auto& r : ranges)
            for (int c = static_cast<unsigned char>(r.first); c <= static_cast<unsigned char>(r.second); ++c)
                set.bytes[c] = true;
        set.negated = negated;
        return set;
    }

    NodePtr Plus(NodePtr kid) {
        NodePtr rep = WithKid(Kind::Repeat, std::move(kid));
        rep->atLeastOne = rep->unbounded = true;
        return rep;
    }

    NodePtr Star(NodePtr kid) {
        NodePtr rep = WithKid(Kind::Repeat, std::move(kid));
        rep->unbounded = true;
        return rep;
    }

    NodePtr Concat(std::vector<NodePtr> kids) {
        NodePtr n = MakeNode(Kind::Concat);
        n->kids = std::move(kids);
        return n;
    }

    // A quoted string: the quote, anything but the quote, the quote.
    NodePtr Quoted(char quote) {
        std::vector<NodePtr> parts;
        parts.push_back(ByteNode(static_cast<unsigned char>(quote)));
        parts.push_back(Star(SetNode(Ranges({{quote, quote}}, true))));
        parts.push_back(ByteNode(static_cast<unsigned char>(quote)));
        return Concat(std::move(parts));
    }

    NodePtr ParseEscape() {
        const size_t at = pos_++;
        if (AtEnd()) FailAt(VN_RegExpError::TrailingBackslash, at);
        const char c = Peek();
        if (c >= '0' && c <= '9') {
            ++pos_;
            NodePtr n = MakeNode(Kind::BackRef);
            n->index = static_cast<uint32_t>(c - '0');
            backRefs_.emplace_back(n->index, at);
            return n;
        }
        switch (c) {
            case 'a': ++pos_; return SetNode(Ranges({{'a', 'z'}, {'A', 'Z'}, {'0', '9'}}));
            case 'b': ++pos_; return SetNode(Ranges({{' ', ' '}, {'\t', '\t'}}));
            case 'c': ++pos_; return SetNode(Ranges({{'a', 'z'}, {'A', 'Z'}}));
            case 'd': ++pos_; return SetNode(Ranges({{'0', '9'}}));
            case 'h': ++pos_; return SetNode(Ranges({{'0', '9'}, {'a', 'f'}, {'A', 'F'}}));
            case 'w': ++pos_; return Plus(SetNode(Ranges({{'a', 'z'}, {'A', 'Z'}})));
            case 'z': ++pos_; return Plus(SetNode(Ranges({{'0', '9'}})));
            case 'n': {
                // A line break; the two-character form is preferred so that
                // "\r\n" is taken whole.
                ++pos_;
                NodePtr alt = MakeNode(Kind::Alt);
                std::vector<NodePtr> crlf;
                crlf.push_back(ByteNode('\r'));
                crlf.push_back(ByteNode('\n'));
                alt->kids.push_back(Concat(std::move(crlf)));
                alt->kids.push_back(ByteNode('\n'));
                alt->kids.push_back(ByteNode('\r'));
                return alt;
            }
            case 'q': {
                ++pos_;
                NodePtr alt = MakeNode(Kind::Alt);
                alt->kids.push_back(Quoted('"'));
                alt->kids.push_back(Quoted('\''));
                return alt;
            }
            default:
                return ParseLiteral();
        }
    }

    // One member character of a class, escapes taken literally; returns its
    // code (a byte, or lead * 256 + trail).
    uint32_t ClassChar() {
        if (Peek() == '\\') {
            ++pos_;
            if (AtEnd()) Fail(VN_RegExpError::MissingBracket);
        }
        if (IsLead(pos_)) {
            const uint32_t code = static_cast<unsigned char>(p_[pos_]) << 8 | static_cast<unsigned char>(p_[pos_ + 1]);
            pos_ += 2;
            return code;
        }
        return static_cast<unsigned char>(p_[pos_++]);
    }

    static void AddRange(CharSet& set, uint32_t lo, uint32_t hi) {
        for (uint32_t c = lo; c <= hi && c <= 0xFF; ++c) set.bytes[c] = true;
        if (hi > 0xFF) set.wide.emplace_back(static_cast<uint16_t>(lo > 0xFF ? lo : 0x100), static_cast<uint16_t>(hi));
    }

    NodePtr ParseClass() {
        const size_t open = pos_++;
        CharSet set;
        if (!AtEnd() && Peek() == '^') {
            set.negated = true;
            ++pos_;
        }
        if (!AtEnd() && Peek() == ']') Fail(VN_RegExpError::EmptyClass);
        while (!AtEnd() && Peek() != ']') {
            const size_t itemStart = pos_;
            const uint32_t lo = ClassChar();
            uint32_t hi = lo;
            if (pos_ + 1 < p_.size() && Peek() == '-' && p_[pos_ + 1] != ']') {
                ++pos_;
                hi = ClassChar();
                if (hi < lo) FailAt(VN_RegExpError::BadRange, itemStart);
            }
            AddRange(set, lo, hi);
        }
        if (AtEnd()) FailAt(VN_RegExpError::MissingBracket, open);
        ++pos_;
        return SetNode(std::move(set));
    }

    std::string_view p_;
    size_t pos_ = 0;
    int depth_ = 0;
    uint32_t groups_ = 0;
    bool fold_;
    const LeadTable& lead_;
    std::vector<CharSet>& sets_;
    std::vector<std::pair<uint32_t, size_t>> backRefs_;  // group number, pattern offset
};

class Emitter {
public:
    Emitter(std::vector<Inst>& code, std::vector<uint32_t>& loopRegs, bool fold, uint32_t firstFreeSlot)
        : code_(code), loopRegs_(loopRegs), fold_(fold), nextSlot_(firstFreeSlot) {}

    uint32_t SlotCount() const { return nextSlot_; }
    size_t DeepestLoops() const { return deepest_; }

    void Emit(const Node& n) {
        switch (n.kind) {
            case Kind::Empty: break;
            case Kind::Byte: {
                const char lower = textutil::ToLowerAscii(static_cast<char>(n.b1));
                const bool letter = lower >= 'a' && lower <= 'z';
                Push(fold_ && letter ? Op::ByteFold : Op::Byte, fold_ && letter ? static_cast<unsigned char>(lower) : n.b1);
                break;
            }
            case Kind::Pair: Push(Op::Pair, n.b1, n.b2); break;
            case Kind::Any: Push(Op::Any); break;
            case Kind::Set: Push(Op::Set).x = n.index; break;
            case Kind::Bol: Push(Op::Bol); break;
            case Kind::Eol: Push(Op::Eol); break;
            case Kind::Concat:
                for (const NodePtr& k : n.kids) Emit(*k);
                break;
            case Kind::Alt: {
                std::vector<size_t> exits;
                for (size_t i = 0; i + 1 < n.kids.size(); ++i) {
                    const size_t split = Here();
                    Push(Op::Split).x = static_cast<uint32_t>(split + 1);
                    Emit(*n.kids[i]);
                    exits.push_back(Here());
                    Push(Op::Jmp);
                    code_[split].y = static_cast<uint32_t>(Here());
                }
                Emit(*n.kids.back());
                for (size_t e : exits) code_[e].x = static_cast<uint32_t>(Here());
                break;
            }
            case Kind::Group:
                if (n.capture) Push(Op::Save).x = 2 * n.index;
                Emit(*n.kids[0]);
                if (n.capture) Push(Op::Save).x = 2 * n.index + 1;
                break;
            case Kind::BackRef: Push(Op::BackRef).x = n.index; break;
            case Kind::NotAhead: {
                const size_t at = Here();
                Push(Op::NotAhead);
                Emit(*n.kids[0]);
                Push(Op::SubMatch);
                for (size_t i = at + 1; i < Here(); ++i) code_[i].inLookahead = true;
                code_[at].x = static_cast<uint32_t>(Here());
                break;
            }
            case Kind::Repeat: EmitRepeat(n); break;
        }
    }

private:
    size_t Here() const { return code_.size(); }

    Inst& Push(Op op, unsigned char b1 = 0, unsigned char b2 = 0) {
        Inst in;
        in.op = op;
        in.b1 = b1;
        in.b2 = b2;
        in.loopsFirst = loopsFirst_;
        in.loopsCount = static_cast<uint32_t>(active_.size());
        code_.push_back(in);
        return code_.back();
    }

    void Prefer(size_t split, size_t body, size_t after, bool greedy) {
        code_[split].x = static_cast<uint32_t>(greedy ? body : after);
        code_[split].y = static_cast<uint32_t>(greedy ? after : body);
    }

    // The guarded loops around the instructions emitted from now on changed:
    // record the new list once for all of them.
    void LoopsChanged() {
        deepest_ = std::max(deepest_, active_.size());
        loopsFirst_ = static_cast<uint32_t>(loopRegs_.size());
        loopRegs_.insert(loopRegs_.end(), active_.begin(), active_.end());
    }

    // A body that can match the empty text gets a loop register: a pass that
    // consumes nothing fails instead of looping for ever.
    void EmitRepeat(const Node& n) {
        const Node& body = *n.kids[0];
        const bool guard = n.unbounded && Nullable(body);
        const uint32_t reg = guard ? nextSlot_++ : 0;
        if (guard) {
            active_.push_back(reg);
            LoopsChanged();
        }
        EmitRepeatCode(n, body, guard, reg);
        if (guard) {
            active_.pop_back();
            LoopsChanged();
        }
    }

    void EmitRepeatCode(const Node& n, const Node& body, bool guard, uint32_t reg) {
        if (!n.unbounded) {  // ?  ??
            const size_t split = Here();
            Push(Op::Split);
            Emit(body);
            Prefer(split, split + 1, Here(), n.greedy);
        } else if (!n.atLeastOne) {  // *  *?
            const size_t split = Here();
            Push(Op::Split);
            if (guard) Push(Op::Save).x = reg;
            Emit(body);
            if (guard) Push(Op::Check).x = reg;
            Push(Op::Jmp).x = static_cast<uint32_t>(split);
            Prefer(split, split + 1, Here(), n.greedy);
        } else {  // +  +?  (the first pass may be empty; later ones may not)
            if (guard) Push(Op::Reset).x = reg;
            const size_t top = Here();
            Emit(body);
            if (guard) {
                Push(Op::Check).x = reg;
                Push(Op::Save).x = reg;
            }
            const size_t split = Here();
            Push(Op::Split);
            Prefer(split, top, Here(), n.greedy);
        }
    }

    std::vector<Inst>& code_;
    std::vector<uint32_t>& loopRegs_;
    bool fold_;
    uint32_t nextSlot_;
    std::vector<uint32_t> active_;  // registers of the guarded loops being emitted
    uint32_t loopsFirst_ = 0;
    size_t deepest_ = 0;
};

}  // namespace

using vnregexp::Program;

VN_RegExp::VN_RegExp() = default;
VN_RegExp::~VN_RegExp() = default;
VN_RegExp::VN_RegExp(VN_RegExp&&) noexcept = default;
VN_RegExp& VN_RegExp::operator=(VN_RegExp&&) noexcept = default;

bool VN_RegExp::Compile(std::string_view pattern, bool caseSensitive) {
    return Compile(pattern, caseSensitive, &platform::IsAnsiLeadByte);
}

bool VN_RegExp::Compile(std::string_view pattern, bool caseSensitive, LeadBytePredicate isLeadByte) {
    program_.reset();
    errorOffset_ = 0;
    if (pattern.size() > kMaxPatternLength) {
        error_ = VN_RegExpError::TooLong;
        errorOffset_ = kMaxPatternLength;
        return false;
    }
    auto p = std::make_unique<Program>();
    p->foldCase = !caseSensitive;
    // Lead bytes are 0x80 and above in every double-byte code page; ASCII
    // bytes always stand alone.
    for (int b = 0x80; b <= 0xFF; ++b) p->lead[b] = isLeadByte && isLeadByte(static_cast<unsigned char>(b));
    try {
        Parser parser(pattern, !caseSensitive, p->lead, p->sets);
        const NodePtr root = parser.ParseAll();
        p->groups = parser.Groups();
        p->hasBackRefs = parser.HasBackRefs();
        Emitter emitter(p->code, p->loopRegs, !caseSensitive, 2 * p->groups);
        emitter.Emit(*root);
        Inst match;
        match.op = Op::Match;
        p->code.push_back(match);
        p->slots = emitter.SlotCount();
        p->memoUsable = !p->hasBackRefs && emitter.DeepestLoops() <= kMaxMemoLoops;
        // Start positions that cannot begin a match are skipped. A byte below
        // 0x40 is never the second byte of a double-byte character.
        p->anchored = p->code[0].op == Op::Bol;
        bool anyLead = false;
        for (int b = 0x80; b <= 0xFF; ++b) anyLead = anyLead || p->lead[b];
        if (p->code[0].op == Op::Byte && (!anyLead || p->code[0].b1 < 0x40)) p->firstByte = p->code[0].b1;
        if (p->memoUsable) {
            p->memoRow.resize(p->code.size());
            for (size_t pc = 0; pc < p->code.size(); ++pc) {
                p->memoRow[pc] = p->memoRows;
                if (!p->code[pc].inLookahead) p->memoRows += size_t(1) << p->code[pc].loopsCount;
            }
        }
    } catch (const CompileError& e) {
        error_ = e.code;
        errorOffset_ = e.offset;
        return false;
    }
    program_ = std::move(p);
    error_ = VN_RegExpError::None;
    return true;
}

std::string VN_RegExp::ErrorText() const { return VN_RegExpErrorText(error_); }

size_t VN_RegExp::GroupCount() const { return program_ ? program_->groups : 0; }

const char* VN_RegExpErrorText(VN_RegExpError error) {
    switch (error) {
        case VN_RegExpError::None: return "";
        case VN_RegExpError::NotCompiled: return "no pattern compiled";
        case VN_RegExpError::TrailingBackslash: return "backslash at the end of the pattern";
        case VN_RegExpError::MissingParen: return "'(' without ')'";
        case VN_RegExpError::MissingBrace: return "'{' without '}'";
        case VN_RegExpError::UnmatchedParen: return "')' without '('";
        case VN_RegExpError::UnmatchedBrace: return "'}' without '{'";
        case VN_RegExpError::MissingBracket: return "'[' without ']'";
        case VN_RegExpError::EmptyClass: return "empty character class";
        case VN_RegExpError::BadRange: return "character range out of order";
        case VN_RegExpError::NothingToRepeat: return "'*', '+' or '?' with nothing to repeat";
        case VN_RegExpError::RepeatedQuantifier: return "'*', '+' or '?' after another";
        case VN_RegExpError::MissingOperand: return "'|' or '!' without an expression";
        case VN_RegExpError::BadBackReference: return "back-reference to a match group that does not exist";
        case VN_RegExpError::TooDeep: return "groups nested too deeply";
        case VN_RegExpError::TooLong: return "pattern too long";
    }
    return "unknown error";
}
