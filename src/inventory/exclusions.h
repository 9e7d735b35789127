// The exclusion list: products, names and folders that the update service
// asks the scanners not to report. Entries come from "exclusions.xml"; an
// entry without a "*" must equal a name exactly (case-sensitive), an entry
// with one is a pattern of the program's regular-expression dialect, where
// "*" repeats what stands before it (it is not a file wildcard).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "inventory/regexp.h"

class VN_ExclusionStore {
public:
    // An entry of the list: a pattern when it holds a "*", else an exact
    // name (adding a name twice changes nothing).
    void AddEntry(const std::string& text);
    // The list's revision date ("revDate"), as written in the file.
    void SetDate(const std::string& date) { date_ = date; }
    const std::string& GetDate() const { return date_; }
    // Forgets every entry and the date.
    void Clear();

    // Whether the scanners must leave `name` out: never for an empty name;
    // yes for an exact entry equal to it; otherwise yes when a pattern, tried
    // in file order, matches somewhere in the name (at its start when the
    // pattern begins with "^"). Patterns that do not compile are skipped.
    bool IsInExclusions(const std::string& name) const;

    size_t ExactCount() const { return exact_.size(); }
    bool HasExact(const std::string& name) const { return exact_.count(name) != 0; }
    // The exact names in byte order.
    std::vector<std::string> ExactNames() const;
    // The patterns in file order.
    std::vector<std::string> Patterns() const;

private:
    struct Pattern {
        std::string text;
        std::shared_ptr<const VN_RegExp> compiled;  // null when it does not compile
    };
    std::unordered_set<std::string> exact_;
    std::vector<Pattern> patterns_;
    std::string date_;
};
