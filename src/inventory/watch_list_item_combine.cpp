#include "inventory/watch_list_item_combine.h"

#include <exception>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"

using textutil::EqualsNoCase;

std::string VN_WatchListItemCombine::FolderOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::vector<std::string> VN_WatchListItemCombine::CommandLineTokens(const std::string& commandLine) {
    std::vector<std::string> tokens;
    std::string word;
    bool quoted = false, inWord = false;
    for (char c : commandLine) {
        if (c == '"') quoted = !quoted;
        if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord) tokens.push_back(word);
            word.clear();
            inWord = false;
            continue;
        }
        word += c;
        inWord = true;
    }
    if (inWord) tokens.push_back(word);
    for (std::string& token : tokens) {
        const size_t begin = token.find_first_not_of('"');
        const size_t end = token.find_last_not_of('"');
        token = begin == std::string::npos ? std::string() : token.substr(begin, end - begin + 1);
    }
    return tokens;
}

void VN_WatchListItemCombine::Fold(VN_WatchItem& into, VN_WatchItem& from) {
    into.MergeFrom(from);
    from.removed = item_state::kGone;
}

VN_WatchItem* VN_WatchListItemCombine::SingleCandidate(const std::vector<VN_WatchItem*>& candidates) {
    if (candidates.size() == 1) return candidates.front();
    VN_WatchItem* withCurrent = nullptr;
    for (VN_WatchItem* candidate : candidates) {
        if (candidate->currentVers.empty()) continue;
        if (withCurrent != nullptr) return nullptr;
        withCurrent = candidate;
    }
    return withCurrent;
}

void VN_WatchListItemCombine::CombineItems() {
    try {
        const std::vector<VN_WatchItem*> items = WatchItems();
        CombineSuites(items);
        CombineUninstallEntries(items);
    } catch (const std::exception&) {
        vnlog::Warning("VN_WatchListItemCombine::CombineItems");
    } catch (...) {
        vnlog::Warning("VN_WatchListItemCombine::CombineItems", true);
    }
    IdentityFieldsChanged();
}

void VN_WatchListItemCombine::CombineSuites(const std::vector<VN_WatchItem*>& items) {
    for (VN_WatchItem* suite : items) {
        if (!suite->IsSuite() || !suite->GetExePath().empty()) continue;
        std::vector<VN_WatchItem*> withProgram;
        for (VN_WatchItem* other : items)
            if (other != suite && EqualsNoCase(other->GetGuid(), suite->GetGuid()) && !other->GetExePath().empty())
                withProgram.push_back(other);
        if (withProgram.empty()) continue;
        VN_WatchItem* chosen = SingleCandidate(withProgram);
        if (chosen == nullptr) continue;
        Fold(*suite, *chosen);
        // The fold brought the component's code along; the suite must not
        // become a component.
        suite->componentGuid.clear();
        // With the only program of its product folded in, the suite is that
        // program. The scans still hand the product on as its bare suite: the
        // entry keeps the product code as its key name, so that the key-name
        // rule finds it again (as it finds an installer product's uninstall
        // entry) and a complete pass does not take it for gone and delete it
        // with the user's state.
        if (withProgram.size() == 1) {
            if (suite->keyName.empty()) suite->keyName = suite->GetGuid();
            suite->SetProductGuid(std::string());
        }
        SetModified();
    }
}

bool VN_WatchListItemCombine::IsUninstallMatch(const VN_WatchItem& entry, const std::vector<std::string>& tokens,
                                               const VN_WatchItem& program, const std::string& windowsFolder) const {
    const std::string folder = FolderOf(program.GetExePath());
    // Only programs in a folder of a drive, and never the system's own.
    if (folder.size() < 4 || folder[1] != ':') return false;
    if (!windowsFolder.empty() && textutil::StartsWithNoCase(folder, windowsFolder)) return false;
    for (const std::string& token : tokens)
        if (EqualsNoCase(FolderOf(token), folder)) return true;
    return !entry.productId.empty() && entry.productId == program.productId &&
           textutil::FindNoCase(entry.uninstallString, folder) != std::string::npos;
}

void VN_WatchListItemCombine::CombineUninstallEntries(const std::vector<VN_WatchItem*>& items) {
    std::vector<VN_WatchItem*> programs, entries;
    for (VN_WatchItem* item : items) {
        if (item->uninstallString.empty() && !item->GetExePath().empty()) programs.push_back(item);
        const std::string command = textutil::Trim(item->uninstallString);
        // The installer's own uninstall command names no program folder.
        if (!command.empty() && !textutil::StartsWithNoCase(command, "MsiExec")) entries.push_back(item);
    }
    const std::string windowsFolder = windowsFolderSet_ ? windowsFolder_ : platform::WindowsFolder();
    for (VN_WatchItem* entry : entries) {
        if (!entry->GetExePath().empty()) continue;
        const std::vector<std::string> tokens = CommandLineTokens(entry->uninstallString);
        std::vector<VN_WatchItem*> matches;
        for (VN_WatchItem* program : programs)
            if (IsUninstallMatch(*entry, tokens, *program, windowsFolder)) matches.push_back(program);
        if (matches.empty()) continue;
        if (VN_WatchItem* chosen = SingleCandidate(matches)) {
            Fold(*entry, *chosen);
            SetModified();
        }
    }
}
