// VN_WatchListItemCombine: the third layer of the watch list. After each
// check it folds duplicates together: a suite without a program of its own
// takes over the one component that has a program, and an uninstall entry
// without a program takes over the program installed in a folder its
// uninstall command names. The folded item keeps its place in the list but is
// hidden (removed = 2).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "inventory/watch_list_group_sync.h"

class VN_WatchListItemCombine : public VN_WatchListGroupSync {
public:
    using VN_WatchListGroupSync::VN_WatchListGroupSync;

    // The suite pass, then the uninstall-entry pass.
    void CombineItems();

    // The folder whose programs never belong to an uninstall entry (the
    // Windows folder by default; tests set another).
    void SetWindowsFolder(std::string folder) {
        windowsFolder_ = std::move(folder);
        windowsFolderSet_ = true;
    }

    // The folder part of a program path, up to and including its last
    // backslash ("" when it has none).
    static std::string FolderOf(const std::string& path);
    // The words of a command line: split at blanks and tabs outside double
    // quotes, each word stripped of its surrounding double quotes.
    static std::vector<std::string> CommandLineTokens(const std::string& commandLine);

private:
    // `into` takes what it lacks from `from`, which is hidden.
    void Fold(VN_WatchItem& into, VN_WatchItem& from);
    // Of several candidates, the one to fold: the only one, else the only one
    // with a current version; null when that does not single one out.
    static VN_WatchItem* SingleCandidate(const std::vector<VN_WatchItem*>& candidates);
    void CombineSuites(const std::vector<VN_WatchItem*>& items);
    void CombineUninstallEntries(const std::vector<VN_WatchItem*>& items);
    bool IsUninstallMatch(const VN_WatchItem& entry, const std::vector<std::string>& tokens,
                          const VN_WatchItem& program, const std::string& windowsFolder) const;

    std::string windowsFolder_;
    bool windowsFolderSet_ = false;
};
