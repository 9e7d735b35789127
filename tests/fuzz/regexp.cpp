// Exclusion patterns come from the network: compiling and matching any
// pattern on any text must neither crash nor run away, every reported span
// must lie inside the text, and remembering tried states must never change
// an answer.
//
// Input: one flag byte (bit 0: case-insensitive, bit 1: a double-byte code
// page), one byte giving the pattern's length, the pattern, then the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "inventory/regexp.h"

namespace {

bool ShiftJisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

void Require(bool ok) {
    if (!ok) std::abort();
}

void CheckMatch(const VN_RegExpMatch& m, size_t start, size_t size) {
    Require(m.begin >= start && m.begin <= m.end && m.end <= size);
    for (const VN_RegExpSpan& g : m.groups) {
        if (!g.IsSet()) continue;
        Require(g.begin >= m.begin && g.begin <= g.end && g.end <= m.end);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t flags = data[0];
    size_t patternLength = data[1];
    if (patternLength > size - 2) patternLength = size - 2;
    const std::string pattern(reinterpret_cast<const char*>(data + 2), patternLength);
    const std::string text(reinterpret_cast<const char*>(data + 2 + patternLength), size - 2 - patternLength);

    VN_RegExp re;
    const bool compiled = re.Compile(pattern, !(flags & 1), (flags & 2) ? ShiftJisLead : nullptr);
    Require(compiled == re.IsCompiled());
    Require(compiled == re.ErrorText().empty());
    if (!compiled) {
        Require(re.ErrorOffset() <= pattern.size());
        return 0;
    }
    re.SetStepLimit(20000);

    VN_RegExpMatch first;
    const VN_MatchStatus status = re.Match(text, 0, &first);
    if (status == VN_MatchStatus::Matched) {
        CheckMatch(first, 0, text.size());
        Require(first.groups.size() == re.GroupCount());
    }

    // The same search without the state memo must agree whenever it finishes.
    re.SetStateMemo(false);
    VN_RegExpMatch plain;
    const VN_MatchStatus plainStatus = re.Match(text, 0, &plain);
    if (status != VN_MatchStatus::StepLimit && plainStatus != VN_MatchStatus::StepLimit) {
        Require(status == plainStatus);
        if (status == VN_MatchStatus::Matched) {
            Require(first.begin == plain.begin && first.end == plain.end);
            for (size_t g = 0; g < first.groups.size(); ++g)
                Require(first.groups[g].begin == plain.groups[g].begin && first.groups[g].end == plain.groups[g].end);
        }
    }
    re.SetStateMemo(true);

    std::vector<VN_RegExpMatch> all;
    const VN_MatchStatus allStatus = re.FindAll(text, &all);
    Require((allStatus == VN_MatchStatus::NoMatch) == (all.empty() && allStatus != VN_MatchStatus::StepLimit));
    size_t previousEnd = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        CheckMatch(all[i], previousEnd, text.size());
        if (i > 0) Require(all[i].begin > all[i - 1].begin);
        previousEnd = all[i].end;
    }
    if (status == VN_MatchStatus::Matched && !all.empty())
        Require(all[0].begin == first.begin && all[0].end == first.end);

    // FindAll shares what it learnt between its searches; separate searches
    // from the same places must find the same matches. Each search sets up
    // its own memo over the whole text, so up to 32 of the matches, spread
    // over the text, are searched again (all would cost matches x text).
    if (allStatus == VN_MatchStatus::StepLimit) return 0;
    const auto nextStart = [&](const VN_RegExpMatch& m) {
        size_t pos = m.end > m.begin ? m.end : m.begin + 1;
        if (m.end == m.begin && (flags & 2) && m.begin + 1 < text.size() &&
            ShiftJisLead(static_cast<unsigned char>(text[m.begin])))
            ++pos;
        return pos;
    };
    std::vector<size_t> picked;
    for (size_t i = 0; i < all.size(); i += all.size() / 32 + 1) picked.push_back(i);
    if (!all.empty() && picked.back() != all.size() - 1) picked.push_back(all.size() - 1);
    for (size_t i : picked) {
        const VN_RegExpMatch& m = all[i];
        const size_t pos = i == 0 ? 0 : nextStart(all[i - 1]);
        VN_RegExpMatch again;
        const VN_MatchStatus st = re.Match(text, pos, &again);
        if (st == VN_MatchStatus::StepLimit) return 0;
        Require(st == VN_MatchStatus::Matched && again.begin == m.begin && again.end == m.end);
        for (size_t g = 0; g < m.groups.size(); ++g)
            Require(again.groups[g].begin == m.groups[g].begin && again.groups[g].end == m.groups[g].end);
    }
    const size_t pos = all.empty() ? 0 : nextStart(all.back());
    if (pos <= text.size()) Require(re.Match(text, pos, nullptr) != VN_MatchStatus::Matched);
    return 0;
}
