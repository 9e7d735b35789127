#include "inventory/exclusions.h"

#include <algorithm>

void VN_ExclusionStore::AddEntry(const std::string& text) {
    if (text.find('*') == std::string::npos) {
        exact_.insert(text);
        return;
    }
    // Compiled once here rather than for every name tested.
    auto compiled = std::make_shared<VN_RegExp>();
    Pattern pattern{text, nullptr};
    if (compiled->Compile(text, true)) pattern.compiled = std::move(compiled);
    patterns_.push_back(std::move(pattern));
}

void VN_ExclusionStore::Clear() {
    exact_.clear();
    patterns_.clear();
    date_.clear();
}

bool VN_ExclusionStore::IsInExclusions(const std::string& name) const {
    if (name.empty()) return false;
    if (exact_.count(name) != 0) return true;
    for (const Pattern& pattern : patterns_)
        if (pattern.compiled && pattern.compiled->Matches(name)) return true;
    return false;
}

std::vector<std::string> VN_ExclusionStore::Patterns() const {
    std::vector<std::string> out;
    out.reserve(patterns_.size());
    for (const Pattern& pattern : patterns_) out.push_back(pattern.text);
    return out;
}

std::vector<std::string> VN_ExclusionStore::ExactNames() const {
    std::vector<std::string> out(exact_.begin(), exact_.end());
    std::sort(out.begin(), out.end());
    return out;
}
