// The watch list finds a scanned program's entry through an index; its answer
// must always be the one a walk over the list gives (the first entry in list
// order for which IsSameItem holds). Randomised lists with colliding fields,
// changed by every kind of operation, are checked against that walk.
#include <gtest/gtest.h>

#include <random>

#include "inventory/watch_list.h"
#include "watch_list_test_support.h"

namespace {

class RandomScans {
public:
    explicit RandomScans(unsigned seed) : rng_(seed) {}

    template <size_t N>
    const char* Pick(const char* const (&choices)[N]) {
        return choices[std::uniform_int_distribution<size_t>(0, N - 1)(rng_)];
    }
    bool Chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(rng_) < percent; }
    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

    // Few distinct values, differing in case, so that every identity rule
    // holds often and several rules compete for the earliest entry.
    std::unique_ptr<VN_WatchItem> Item() {
        static const char* const kExe[] = {"", "app.exe", "APP.EXE", "tool.exe"};
        static const char* const kName[] = {"", "Alpha", "ALPHA", "Beta"};
        static const char* const kVersion[] = {"", "1.0", "2.0"};
        static const char* const kPath[] = {"", "C:\\A\\app.exe", "c:\\a\\APP.exe", "C:\\B\\tool.exe"};
        static const char* const kProduct[] = {"", "", "{P1}", "{p1}", "{P2}"};
        static const char* const kComponent[] = {"", "", "{C1}", "{c1}"};
        static const char* const kUninstall[] = {"", "", "uninst.exe /S"};
        static const char* const kSignature[] = {"", "sig", "SIG"};
        static const char* const kKey[] = {"", "{P1}", "{p2}", "key"};
        static const char* const kArguments[] = {"", "", "", "-x"};
        auto item = std::make_unique<VN_WatchItem>();
        item->executableName = Pick(kExe);
        item->progName = Pick(kName);
        item->installedVers = Pick(kVersion);
        item->installedVers2 = Pick(kVersion);
        item->targetName = Pick(kPath);
        item->productGuid = Pick(kProduct);
        item->componentGuid = Pick(kComponent);
        item->uninstallString = Pick(kUninstall);
        item->signature = Pick(kSignature);
        item->keyName = Pick(kKey);
        item->arguments = Pick(kArguments);
        item->currentVers = Chance(30) ? "3.0" : "";
        item->matchedPvId = Chance(20) ? "pv" : "";
        return item;
    }

    // Changes one identity field of an entry, as code outside the list may.
    void ChangeIdentity(VN_WatchItem& entry) {
        const std::unique_ptr<VN_WatchItem> donor = Item();
        switch (Below(8)) {
            case 0: entry.executableName = donor->executableName; break;
            case 1: entry.progName = donor->progName; break;
            case 2: entry.installedVers = donor->installedVers; break;
            case 3: entry.targetName = donor->targetName; break;
            case 4: entry.SetProductGuid(donor->productGuid); break;
            case 5: entry.componentGuid = donor->componentGuid; break;
            case 6: entry.uninstallString = donor->uninstallString; break;
            default: entry.signature = donor->signature; entry.keyName = donor->keyName; break;
        }
    }

private:
    std::mt19937 rng_;
};

VN_WatchItem* WalkForSameItem(const VN_WatchList& list, const VN_WatchItem& scanned) {
    for (VN_WatchItem* entry : list.WatchItems())
        if (entry->IsSameItem(scanned)) return entry;
    return nullptr;
}

TEST(WatchListIndex, AgreesWithAWalkOverTheListWhateverChangesIt) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        RandomScans random(seed);
        VN_WatchList list;
        list.SetWindowsFolder("C:\\Windows");
        const size_t initial = random.Below(40);
        for (size_t i = 0; i < initial; ++i) list.AddTail(random.Item());

        for (int step = 0; step < 400; ++step) {
            const std::unique_ptr<VN_WatchItem> scanned = random.Item();
            ASSERT_EQ(list.FindSameItem(*scanned), WalkForSameItem(list, *scanned)) << "step " << step;
            const size_t count = list.GetCount();
            const int action = static_cast<int>(random.Below(100));
            if (action < 55) {
                list.AddOrMerge(*scanned, random.Chance(10), random.Chance(10));
            } else if (action < 65 && count > 0) {
                if (VN_WatchItem* entry = list.GetWatchItemAt(random.Below(count))) {
                    random.ChangeIdentity(*entry);
                    list.IdentityFieldsChanged();
                }
            } else if (action < 70) {
                list.IncrementScanCount();
                if (random.Chance(50)) list.RemoveStaleItems();
            } else if (action < 75 && count > 0) {
                list.Detach(random.Below(count));
            } else if (action < 80) {
                list.CombineItems();
            } else if (action < 83) {
                list.CombineByMatchedPvId();
                list.SyncGroupVars();
                list.ExpandSuites();
            } else if (action < 88) {
                list.AddCopy(*scanned, false);
            } else if (action < 93) {
                list.AddTail(random.Chance(20) ? nullptr : random.Item());
            } else if (action < 95) {
                list.ClearNonUserItems();
            } else if (action < 96) {
                list.DeleteAll();
            } else {
                // Through the user's own add, after an unannounced rename.
                if (count > 0)
                    if (VN_WatchItem* entry = list.GetWatchItemAt(random.Below(count))) random.ChangeIdentity(*entry);
                list.AddUserItem(*scanned);
            }
        }
    }
}

TEST(WatchListIndex, AnEntryChangedBehindTheListsBackIsNotMistakenForAMatch) {
    VN_WatchList list;
    list.AddOrMerge(*wltest::Program("Alpha", "C:\\A\\alpha.exe", "1.0"), false, false);
    list.AddOrMerge(*wltest::Program("Beta", "C:\\B\\beta.exe", "1.0"), false, false);
    // The first entry moves elsewhere without the list being told; a later
    // entry still at the old place must not hide behind the stale index.
    list.GetWatchItemAt(0)->targetName = "C:\\Elsewhere\\alpha.exe";
    list.GetWatchItemAt(1)->targetName = "C:\\A\\alpha.exe";
    const auto scanned = wltest::Program("Alpha", "C:\\A\\alpha.exe", "9.9");
    EXPECT_EQ(list.FindSameItem(*scanned), list.GetWatchItemAt(1));
}

}  // namespace
