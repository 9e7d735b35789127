// The reference service's database: the catalogue (products and the rules
// that recognise them, agent releases, the exclusion list, the service's page
// addresses), loaded from seed files, and what machines have sent (machines,
// their profile and settings, scans, the items of each scan, icons).
//
// One connection serves every request thread; callers hold Lock() for the
// whole of one request and group its writes in a Transaction, so a request is
// applied entirely or not at all.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sqlite_db.h"

namespace vnservice {

struct Product {
    int64_t id = 0;
    std::string name, publisher, currentVersion, releaseDate;
    std::string productUrl, downloadUrl, additionalInfo;
    bool downloadIsFile = false;
};

// How a catalogue rule recognises an item.
enum class MatchKind { Name, NamePrefix, Executable, Digest, ProductCode };

struct MatchRule {
    int64_t productId = 0;
    MatchKind kind = MatchKind::Name;
    std::string value;
};

struct AgentRelease {
    std::string version, url, releaseDate;
};

struct ExclusionEntry {
    std::optional<std::string> product, name, dir;
};

struct Machine {
    std::string id;
    std::string machineName;
    bool blocked = false;
};

// One item of a check request as the service keeps it.
struct StoredItem {
    std::string sequence;
    std::string kind;  // "software" or "driver"
    std::string progName, installedVersion;
    std::optional<int64_t> productId;
    std::string matchedBy;       // empty when not recognised
    std::string currentVersion;  // of the matched product
    std::optional<bool> outdated;
    std::vector<std::pair<std::string, std::string>> fields;  // everything the item carried
};

struct ScanCounts {
    int64_t items = 0, recognised = 0, outdated = 0;
};

// Random bytes in a machine page's access token (written as twice as many hex digits).
inline constexpr size_t kPageTokenBytes = 16;

struct ScanSummary {
    std::string id, machineId, created, checked;  // checked: empty until a check arrived
    std::string status;                           // IN_PROGRESS, FAILED or COMPLETE
    int64_t items = 0, recognised = 0, outdated = 0;
};

// One line of a machine's report: a recognised program (one per product and
// installed version), an unrecognised one, or a driver.
struct ReportEntry {
    int64_t productId = 0;  // 0 when not recognised
    std::string name;       // the catalogue's name of the product
    std::string installedName, installedVersion;
    std::string currentVersion, releaseDate, publisher, productUrl, downloadUrl;
    bool outdated = false;
};

// What the service knows of a machine from its latest processed scan. The
// machine page and the out-of-date report are both built from this, so they
// always agree.
struct MachineReport {
    std::string machineId, machineName, ursId, lastSeen, operatingSystem, clientVersion;
    std::optional<ScanSummary> scan;  // none until a check has been processed
    std::vector<ReportEntry> products, unrecognised, drivers;

    size_t OutdatedCount() const {
        size_t n = 0;
        for (const ReportEntry& e : products) n += e.outdated ? 1 : 0;
        return n;
    }
};

class ServiceStore {
public:
    explicit ServiceStore(const std::string& path);

    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mutex_); }
    SqliteDb& Db() { return db_; }

    // --- catalogue (call with the lock held)
    // Replaces the whole catalogue with the seeds' rows, in one transaction.
    // A seed may only insert rows into the catalogue tables; anything else
    // (other tables, schema changes, pragmas) fails the load and keeps the old
    // catalogue.
    void ReplaceCatalogue(const std::vector<std::string>& seedTexts);
    int64_t ProductCount();
    std::vector<Product> Products();
    std::vector<MatchRule> MatchRules();
    std::vector<AgentRelease> AgentReleases();
    std::vector<ExclusionEntry> Exclusions();
    std::string SiteSetting(const std::string& name, const std::string& fallback = {});

    // --- machines and scans (call with the lock held, inside a transaction)
    std::optional<Machine> FindMachine(const std::string& id);
    void CreateMachine(const std::string& id, const std::string& now);
    void TouchMachine(const std::string& id, const std::string& machineName, const std::string& clientVersion,
                      const std::string& clientPlatform, const std::string& now);
    void SetMachineBlocked(const std::string& id, bool blocked);
    void SaveFacts(const std::string& machineId, const std::string& section,
                   const std::map<std::string, std::string>& facts);

    std::optional<std::string> ScanOwner(const std::string& scanId);
    void CreateScan(const std::string& scanId, const std::string& machineId, const std::string& now);
    // Replaces the scan's items with these and marks it complete, or, with a
    // ready time (milliseconds since the epoch), keeps it in progress until then.
    void StoreCheck(const std::string& scanId, const std::vector<StoredItem>& items, const ScanCounts& counts,
                    const std::string& clientTimestamp, const std::string& now,
                    std::optional<int64_t> readyAtMs = std::nullopt);
    // Completes the scans whose ready time has passed.
    void FinishDueScans(int64_t nowMs);

    // The machine's page token, made now for a machine that has none; empty
    // for an unknown machine.
    std::string PageToken(const std::string& machineId);
    // The token as stored: empty for an unknown machine or one without a token.
    std::string StoredPageToken(const std::string& machineId);
    // Links the machine to a user of the service (an empty id unlinks it);
    // false for an unknown machine.
    bool SetUserLink(const std::string& machineId, const std::string& ursId);

    // --- reports (call with the lock held)
    std::optional<ScanSummary> FindScan(const std::string& scanId);
    // The machine's scans, newest first.
    std::vector<ScanSummary> ScanHistory(const std::string& machineId, int limit);
    // The machine and its latest processed scan; nothing for an unknown machine.
    std::optional<MachineReport> LatestReport(const std::string& machineId);

    std::set<int64_t> ProductsWithIcons();
    void SaveIcon(int64_t productId, int width, int height, const std::string& png, const std::string& machineId,
                  const std::string& now);
    // Records that the agent has no icon for the product, so it is not asked again.
    void SaveGenericIcon(int64_t productId, const std::string& machineId, const std::string& now);

private:
    void CreateSchema();
    void Migrate();
    std::mutex mutex_;
    SqliteDb db_;
};

// The current time as "YYYY-MM-DDTHH:MM:SSZ" (UTC).
std::string UtcNow();
// Milliseconds since the epoch.
int64_t NowMs();

}  // namespace vnservice
