#include "service_store.h"

#include <chrono>
#include <ctime>
#include <set>

#include "secure_random.h"
#include "version.h"

namespace vnservice {
namespace {

const char kSchema[] = R"SQL(
CREATE TABLE IF NOT EXISTS meta(
    key TEXT PRIMARY KEY,
    value TEXT NOT NULL);

-- The catalogue: replaced as a whole from the seed files.
CREATE TABLE IF NOT EXISTS products(
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL,
    publisher TEXT NOT NULL DEFAULT '',
    current_version TEXT NOT NULL,
    release_date TEXT NOT NULL DEFAULT '',
    product_url TEXT NOT NULL DEFAULT '',
    download_url TEXT NOT NULL DEFAULT '',
    download_is_file INTEGER NOT NULL DEFAULT 0,
    additional_info TEXT NOT NULL DEFAULT '');
CREATE TABLE IF NOT EXISTS product_matches(
    product_id INTEGER NOT NULL REFERENCES products(id),
    kind TEXT NOT NULL CHECK(kind IN ('name', 'name_prefix', 'exe', 'md5', 'product_code')),
    value TEXT NOT NULL,
    PRIMARY KEY(kind, value));
CREATE TABLE IF NOT EXISTS agent_releases(
    version TEXT PRIMARY KEY,
    url TEXT NOT NULL,
    release_date TEXT NOT NULL DEFAULT '');
CREATE TABLE IF NOT EXISTS exclusions(
    id INTEGER PRIMARY KEY,
    product TEXT,
    name TEXT,
    dir TEXT,
    CHECK(product IS NOT NULL OR name IS NOT NULL OR dir IS NOT NULL));
CREATE TABLE IF NOT EXISTS site_settings(
    name TEXT PRIMARY KEY,
    value TEXT NOT NULL);

-- What machines send.
CREATE TABLE IF NOT EXISTS machines(
    id TEXT PRIMARY KEY,
    machine_name TEXT NOT NULL DEFAULT '',
    client_version TEXT NOT NULL DEFAULT '',
    client_platform TEXT NOT NULL DEFAULT '',
    first_seen TEXT NOT NULL,
    last_seen TEXT NOT NULL,
    blocked INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS machine_facts(
    machine_id TEXT NOT NULL REFERENCES machines(id) ON DELETE CASCADE,
    section TEXT NOT NULL,
    name TEXT NOT NULL,
    value TEXT NOT NULL,
    PRIMARY KEY(machine_id, section, name));
CREATE TABLE IF NOT EXISTS scans(
    id TEXT PRIMARY KEY,
    machine_id TEXT NOT NULL REFERENCES machines(id) ON DELETE CASCADE,
    created TEXT NOT NULL,
    checked TEXT,
    client_timestamp TEXT NOT NULL DEFAULT '',
    status TEXT NOT NULL CHECK(status IN ('IN_PROGRESS', 'FAILED', 'COMPLETE')),
    item_count INTEGER NOT NULL DEFAULT 0,
    recognised_count INTEGER NOT NULL DEFAULT 0,
    outdated_count INTEGER NOT NULL DEFAULT 0);
CREATE INDEX IF NOT EXISTS scans_by_machine ON scans(machine_id, created);
CREATE TABLE IF NOT EXISTS scan_items(
    scan_id TEXT NOT NULL REFERENCES scans(id) ON DELETE CASCADE,
    ordinal INTEGER NOT NULL,
    sequence TEXT NOT NULL,
    kind TEXT NOT NULL,
    prog_name TEXT NOT NULL DEFAULT '',
    installed_version TEXT NOT NULL DEFAULT '',
    product_id INTEGER,
    matched_by TEXT NOT NULL DEFAULT '',
    current_version TEXT NOT NULL DEFAULT '',
    outdated INTEGER,
    PRIMARY KEY(scan_id, ordinal));
CREATE TABLE IF NOT EXISTS scan_item_fields(
    scan_id TEXT NOT NULL,
    ordinal INTEGER NOT NULL,
    position INTEGER NOT NULL,
    name TEXT NOT NULL,
    value TEXT NOT NULL,
    PRIMARY KEY(scan_id, ordinal, position),
    FOREIGN KEY(scan_id, ordinal) REFERENCES scan_items(scan_id, ordinal) ON DELETE CASCADE);
-- Reports of wrongly identified items (TaskService.submit): the report's
-- main values, and all its members as "name=value" lines.
CREATE TABLE IF NOT EXISTS item_reports(
    id INTEGER PRIMARY KEY,
    received TEXT NOT NULL,
    machine_id TEXT NOT NULL DEFAULT '',
    machine_name TEXT NOT NULL DEFAULT '',
    program_name TEXT NOT NULL DEFAULT '',
    reason TEXT NOT NULL DEFAULT '',
    comments TEXT NOT NULL DEFAULT '',
    members TEXT NOT NULL DEFAULT '');
CREATE TABLE IF NOT EXISTS icons(
    product_id INTEGER NOT NULL,
    width INTEGER NOT NULL,
    height INTEGER NOT NULL,
    png BLOB,
    generic INTEGER NOT NULL DEFAULT 0,
    machine_id TEXT,
    received TEXT NOT NULL,
    PRIMARY KEY(product_id, width, height));
)SQL";

const std::set<std::string> kCatalogueTables = {"products", "product_matches", "agent_releases", "exclusions",
                                                "site_settings"};

std::optional<std::string> OptionalText(const Statement& s, int column) {
    if (s.IsNull(column)) return std::nullopt;
    return s.Text(column);
}

}  // namespace

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

ServiceStore::ServiceStore(const std::string& path) : db_(path) {
    if (path != ":memory:" && !path.empty()) db_.Exec("PRAGMA journal_mode=WAL");
    db_.Exec("PRAGMA foreign_keys=ON");
    CreateSchema();
}

void ServiceStore::CreateSchema() {
    Transaction tx(db_);
    db_.Exec(kSchema);
    db_.Exec("INSERT OR IGNORE INTO meta(key, value) VALUES('schema_version', '1')");
    Migrate();
    tx.Commit();
}

// Brings a database of an earlier layout up to date; a new database is
// created in the first layout and migrated like any other.
void ServiceStore::Migrate() {
    Statement v = db_.Prepare("SELECT CAST(value AS INTEGER) FROM meta WHERE key = 'schema_version'");
    const int64_t version = v.Step() ? v.Int(0) : 1;
    if (version < 2) {
        // Version 2: the machine page's access token and the user a machine is
        // linked to; the time a checked scan's report becomes ready.
        db_.Exec(
            "ALTER TABLE machines ADD COLUMN page_token TEXT NOT NULL DEFAULT '';"
            "ALTER TABLE machines ADD COLUMN urs_id TEXT NOT NULL DEFAULT '';"
            "ALTER TABLE scans ADD COLUMN ready_ms INTEGER;"
            "CREATE INDEX IF NOT EXISTS scans_pending ON scans(status, ready_ms);"
            // The built-in page addresses of earlier catalogues had no token.
            "UPDATE site_settings SET value = '/my/{machineId}?token={token}'"
            " WHERE name = 'homepage_url' AND value = '/my/{machineId}';"
            "UPDATE site_settings SET value = '/welcome/?machineId={machineId}&token={token}'"
            " WHERE name = 'welcome_url' AND value = '/welcome/?machineId={machineId}';"
            "UPDATE meta SET value = '2' WHERE key = 'schema_version';");
    }
}

void ServiceStore::ReplaceCatalogue(const std::vector<std::string>& seedTexts) {
    Transaction tx(db_);
    db_.Exec(
        "DELETE FROM product_matches; DELETE FROM products; DELETE FROM agent_releases;"
        "DELETE FROM exclusions; DELETE FROM site_settings;");
    const auto allow = [](int action, const char* a, const char*) {
        const bool catalogue = a && kCatalogueTables.count(a);
        switch (action) {
            case SQLITE_INSERT:
            case SQLITE_READ: return catalogue;
            case SQLITE_SELECT: return true;  // INSERT ... SELECT, VALUES lists
            default: return false;
        }
    };
    for (const std::string& seed : seedTexts) db_.ExecRestricted(seed, allow);
    tx.Commit();
}

int64_t ServiceStore::ProductCount() {
    Statement s = db_.Prepare("SELECT COUNT(*) FROM products");
    return s.Step() ? s.Int(0) : 0;
}

std::vector<Product> ServiceStore::Products() {
    Statement s = db_.Prepare(
        "SELECT id, name, publisher, current_version, release_date, product_url, download_url, download_is_file,"
        " additional_info FROM products ORDER BY id");
    std::vector<Product> out;
    while (s.Step()) {
        Product p;
        p.id = s.Int(0);
        p.name = s.Text(1);
        p.publisher = s.Text(2);
        p.currentVersion = s.Text(3);
        p.releaseDate = s.Text(4);
        p.productUrl = s.Text(5);
        p.downloadUrl = s.Text(6);
        p.downloadIsFile = s.Int(7) != 0;
        p.additionalInfo = s.Text(8);
        out.push_back(std::move(p));
    }
    return out;
}

std::vector<MatchRule> ServiceStore::MatchRules() {
    Statement s = db_.Prepare("SELECT product_id, kind, value FROM product_matches");
    std::vector<MatchRule> out;
    while (s.Step()) {
        MatchRule r;
        r.productId = s.Int(0);
        const std::string kind = s.Text(1);
        if (kind == "name") r.kind = MatchKind::Name;
        else if (kind == "name_prefix") r.kind = MatchKind::NamePrefix;
        else if (kind == "exe") r.kind = MatchKind::Executable;
        else if (kind == "md5") r.kind = MatchKind::Digest;
        else r.kind = MatchKind::ProductCode;
        r.value = s.Text(2);
        out.push_back(std::move(r));
    }
    return out;
}

std::vector<AgentRelease> ServiceStore::AgentReleases() {
    Statement s = db_.Prepare("SELECT version, url, release_date FROM agent_releases");
    std::vector<AgentRelease> out;
    while (s.Step()) out.push_back({s.Text(0), s.Text(1), s.Text(2)});
    return out;
}

std::vector<ExclusionEntry> ServiceStore::Exclusions() {
    Statement s = db_.Prepare("SELECT product, name, dir FROM exclusions ORDER BY id");
    std::vector<ExclusionEntry> out;
    while (s.Step()) out.push_back({OptionalText(s, 0), OptionalText(s, 1), OptionalText(s, 2)});
    return out;
}

std::string ServiceStore::SiteSetting(const std::string& name, const std::string& fallback) {
    Statement s = db_.Prepare("SELECT value FROM site_settings WHERE name = ?");
    s.Bind(1, name);
    return s.Step() ? s.Text(0) : fallback;
}

std::optional<Machine> ServiceStore::FindMachine(const std::string& id) {
    Statement s = db_.Prepare("SELECT id, machine_name, blocked FROM machines WHERE id = ?");
    s.Bind(1, id);
    if (!s.Step()) return std::nullopt;
    return Machine{s.Text(0), s.Text(1), s.Int(2) != 0};
}

void ServiceStore::CreateMachine(const std::string& id, const std::string& now) {
    Statement s = db_.Prepare("INSERT INTO machines(id, first_seen, last_seen, page_token) VALUES(?, ?, ?, ?)");
    s.Bind(1, id).Bind(2, now).Bind(3, now).Bind(4, RandomHex(kPageTokenBytes)).Run();
}

void ServiceStore::TouchMachine(const std::string& id, const std::string& machineName,
                                const std::string& clientVersion, const std::string& clientPlatform,
                                const std::string& now) {
    Statement s = db_.Prepare(
        "UPDATE machines SET machine_name = ?, client_version = ?, client_platform = ?, last_seen = ? WHERE id = ?");
    s.Bind(1, machineName).Bind(2, clientVersion).Bind(3, clientPlatform).Bind(4, now).Bind(5, id).Run();
}

void ServiceStore::SetMachineBlocked(const std::string& id, bool blocked) {
    Statement s = db_.Prepare("UPDATE machines SET blocked = ? WHERE id = ?");
    s.Bind(1, blocked ? 1 : 0).Bind(2, id).Run();
}

void ServiceStore::SaveFacts(const std::string& machineId, const std::string& section,
                             const std::map<std::string, std::string>& facts) {
    if (facts.empty()) return;  // a request without the section keeps what was sent before
    Statement del = db_.Prepare("DELETE FROM machine_facts WHERE machine_id = ? AND section = ?");
    del.Bind(1, machineId).Bind(2, section).Run();
    Statement ins = db_.Prepare("INSERT INTO machine_facts(machine_id, section, name, value) VALUES(?, ?, ?, ?)");
    for (const auto& [name, value] : facts) ins.Bind(1, machineId).Bind(2, section).Bind(3, name).Bind(4, value).Run();
}

std::optional<std::string> ServiceStore::ScanOwner(const std::string& scanId) {
    Statement s = db_.Prepare("SELECT machine_id FROM scans WHERE id = ?");
    s.Bind(1, scanId);
    if (!s.Step()) return std::nullopt;
    return s.Text(0);
}

void ServiceStore::CreateScan(const std::string& scanId, const std::string& machineId, const std::string& now) {
    Statement s = db_.Prepare("INSERT INTO scans(id, machine_id, created, status) VALUES(?, ?, ?, 'IN_PROGRESS')");
    s.Bind(1, scanId).Bind(2, machineId).Bind(3, now).Run();
}

void ServiceStore::StoreCheck(const std::string& scanId, const std::vector<StoredItem>& items,
                              const ScanCounts& counts, const std::string& clientTimestamp,
                              const std::string& now, std::optional<int64_t> readyAtMs) {
    Statement clear = db_.Prepare("DELETE FROM scan_items WHERE scan_id = ?");
    clear.Bind(1, scanId).Run();
    Statement item = db_.Prepare(
        "INSERT INTO scan_items(scan_id, ordinal, sequence, kind, prog_name, installed_version, product_id,"
        " matched_by, current_version, outdated) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    Statement field =
        db_.Prepare("INSERT INTO scan_item_fields(scan_id, ordinal, position, name, value) VALUES(?, ?, ?, ?, ?)");
    int64_t ordinal = 0;
    for (const StoredItem& it : items) {
        ++ordinal;
        item.Bind(1, scanId).Bind(2, ordinal).Bind(3, it.sequence).Bind(4, it.kind).Bind(5, it.progName);
        item.Bind(6, it.installedVersion).Bind(8, it.matchedBy).Bind(9, it.currentVersion);
        if (it.productId) item.Bind(7, *it.productId);
        if (it.outdated) item.Bind(10, *it.outdated ? 1 : 0);
        item.Run();
        int64_t position = 0;
        for (const auto& [name, value] : it.fields)
            field.Bind(1, scanId).Bind(2, ordinal).Bind(3, ++position).Bind(4, name).Bind(5, value).Run();
    }
    // Without a ready time the items are processed now; with one the scan
    // stays in progress until FinishDueScans passes that time.
    Statement done = db_.Prepare(
        "UPDATE scans SET status = CASE WHEN ?7 IS NULL THEN 'COMPLETE' ELSE 'IN_PROGRESS' END, ready_ms = ?7,"
        " checked = ?1, client_timestamp = ?2, item_count = ?3, recognised_count = ?4, outdated_count = ?5"
        " WHERE id = ?6");
    done.Bind(1, now).Bind(2, clientTimestamp).Bind(3, counts.items).Bind(4, counts.recognised);
    done.Bind(5, counts.outdated).Bind(6, scanId);
    if (readyAtMs) done.Bind(7, *readyAtMs);
    done.Run();
}

void ServiceStore::FinishDueScans(int64_t nowMs) {
    Statement s = db_.Prepare(
        "UPDATE scans SET status = 'COMPLETE', ready_ms = NULL"
        " WHERE status = 'IN_PROGRESS' AND ready_ms IS NOT NULL AND ready_ms <= ?");
    s.Bind(1, nowMs).Run();
}

std::string ServiceStore::StoredPageToken(const std::string& machineId) {
    Statement s = db_.Prepare("SELECT page_token FROM machines WHERE id = ?");
    s.Bind(1, machineId);
    return s.Step() ? s.Text(0) : std::string();
}

std::string ServiceStore::PageToken(const std::string& machineId) {
    std::string token = StoredPageToken(machineId);
    if (!token.empty() || !FindMachine(machineId)) return token;
    // Machines registered before tokens existed get theirs on first use.
    token = RandomHex(kPageTokenBytes);
    Statement set = db_.Prepare("UPDATE machines SET page_token = ? WHERE id = ?");
    set.Bind(1, token).Bind(2, machineId).Run();
    return token;
}

bool ServiceStore::SetUserLink(const std::string& machineId, const std::string& ursId) {
    Statement s = db_.Prepare("UPDATE machines SET urs_id = ? WHERE id = ?");
    s.Bind(1, ursId).Bind(2, machineId).Run();
    return db_.Changes() > 0;
}

std::optional<ScanSummary> ServiceStore::FindScan(const std::string& scanId) {
    Statement s = db_.Prepare(
        "SELECT id, machine_id, created, COALESCE(checked, ''), status, item_count, recognised_count, outdated_count"
        " FROM scans WHERE id = ?");
    s.Bind(1, scanId);
    if (!s.Step()) return std::nullopt;
    return ScanSummary{s.Text(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4), s.Int(5), s.Int(6), s.Int(7)};
}

std::vector<ScanSummary> ServiceStore::ScanHistory(const std::string& machineId, int limit) {
    Statement s = db_.Prepare(
        "SELECT id, machine_id, created, COALESCE(checked, ''), status, item_count, recognised_count, outdated_count"
        " FROM scans WHERE machine_id = ? ORDER BY created DESC, rowid DESC LIMIT ?");
    s.Bind(1, machineId).Bind(2, limit);
    std::vector<ScanSummary> out;
    while (s.Step())
        out.push_back({s.Text(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4), s.Int(5), s.Int(6), s.Int(7)});
    return out;
}

std::optional<MachineReport> ServiceStore::LatestReport(const std::string& machineId) {
    MachineReport report;
    {
        Statement m = db_.Prepare("SELECT id, machine_name, urs_id, last_seen FROM machines WHERE id = ?");
        m.Bind(1, machineId);
        if (!m.Step()) return std::nullopt;
        report.machineId = m.Text(0);
        report.machineName = m.Text(1);
        report.ursId = m.Text(2);
        report.lastSeen = m.Text(3);
    }
    {
        Statement f = db_.Prepare(
            "SELECT section || '/' || name, value FROM machine_facts WHERE machine_id = ?"
            " AND ((section = 'profile' AND name = 'operatingSystem/name') OR (section = 'check' AND name = "
            "'clientVersion'))");
        f.Bind(1, machineId);
        while (f.Step()) {
            if (f.Text(0) == "profile/operatingSystem/name") report.operatingSystem = f.Text(1);
            else report.clientVersion = f.Text(1);
        }
    }
    // The latest scan whose items are processed.
    Statement latest = db_.Prepare(
        "SELECT id, machine_id, created, COALESCE(checked, ''), status, item_count, recognised_count, outdated_count"
        " FROM scans WHERE machine_id = ? AND status = 'COMPLETE' ORDER BY checked DESC, created DESC, rowid DESC"
        " LIMIT 1");
    latest.Bind(1, machineId);
    if (!latest.Step()) return report;
    report.scan = ScanSummary{latest.Text(0), latest.Text(1), latest.Text(2), latest.Text(3),
                              latest.Text(4), latest.Int(5),  latest.Int(6),  latest.Int(7)};

    Statement items = db_.Prepare(
        "SELECT i.kind, i.prog_name, i.installed_version, i.product_id, i.current_version, i.outdated,"
        " COALESCE(p.name, ''), COALESCE(p.publisher, ''), COALESCE(p.release_date, ''),"
        " COALESCE(p.product_url, ''), COALESCE(p.download_url, ''),"
        " (SELECT value FROM scan_item_fields f WHERE f.scan_id = i.scan_id AND f.ordinal = i.ordinal"
        "   AND f.name = ?2 LIMIT 1),"
        " (SELECT value FROM scan_item_fields f WHERE f.scan_id = i.scan_id AND f.ordinal = i.ordinal"
        "   AND f.name = ?3 LIMIT 1),"
        " (SELECT value FROM scan_item_fields f WHERE f.scan_id = i.scan_id AND f.ordinal = i.ordinal"
        "   AND f.name = ?4 LIMIT 1)"
        " FROM scan_items i LEFT JOIN products p ON p.id = i.product_id WHERE i.scan_id = ?1 ORDER BY i.ordinal");
    items.Bind(1, report.scan->id).Bind(2, "ExecutableName").Bind(3, "DriverProvider").Bind(4, "DriverDate");
    std::set<std::pair<int64_t, std::string>> seenProducts;
    std::set<std::pair<std::string, std::string>> seenOthers, seenDrivers;
    while (items.Step()) {
        const std::string kind = items.Text(0);
        ReportEntry e;
        e.installedName = items.Text(1);
        e.installedVersion = items.Text(2);
        if (kind == "driver") {
            // Whatever the item carried about its driver.
            e.publisher = items.Text(12);
            e.releaseDate = items.Text(13);
            if (seenDrivers.insert({e.installedName, e.installedVersion}).second)
                report.drivers.push_back(std::move(e));
            continue;
        }
        if (items.IsNull(3)) {
            if (e.installedName.empty()) e.installedName = items.Text(11);  // its program file, at least
            if (seenOthers.insert({e.installedName, e.installedVersion}).second)
                report.unrecognised.push_back(std::move(e));
            continue;
        }
        // One entry per product and installed version: the agent finds one
        // program through several sources and folds them the same way.
        e.productId = items.Int(3);
        if (!seenProducts.insert({e.productId, CanonicalVersion(e.installedVersion)}).second) continue;
        e.currentVersion = items.Text(4);
        e.outdated = !items.IsNull(5) && items.Int(5) != 0;
        e.name = items.Text(6).empty() ? e.installedName : items.Text(6);
        e.publisher = items.Text(7);
        e.releaseDate = items.Text(8);
        e.productUrl = items.Text(9);
        e.downloadUrl = items.Text(10);
        report.products.push_back(std::move(e));
    }
    return report;
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::set<int64_t> ServiceStore::ProductsWithIcons() {
    Statement s = db_.Prepare("SELECT DISTINCT product_id FROM icons");
    std::set<int64_t> out;
    while (s.Step()) out.insert(s.Int(0));
    return out;
}

void ServiceStore::SaveIcon(int64_t productId, int width, int height, const std::string& png,
                            const std::string& machineId, const std::string& now) {
    // A real image replaces the generic marker.
    Statement del = db_.Prepare("DELETE FROM icons WHERE product_id = ? AND generic = 1");
    del.Bind(1, productId).Run();
    Statement s = db_.Prepare(
        "INSERT OR REPLACE INTO icons(product_id, width, height, png, generic, machine_id, received)"
        " VALUES(?, ?, ?, ?, 0, ?, ?)");
    s.Bind(1, productId).Bind(2, width).Bind(3, height).BindBlob(4, png).Bind(5, machineId).Bind(6, now).Run();
}

void ServiceStore::SaveGenericIcon(int64_t productId, const std::string& machineId, const std::string& now) {
    Statement s = db_.Prepare(
        "INSERT INTO icons(product_id, width, height, png, generic, machine_id, received)"
        " SELECT ?, 0, 0, NULL, 1, ?, ? WHERE NOT EXISTS (SELECT 1 FROM icons WHERE product_id = ?)");
    s.Bind(1, productId).Bind(2, machineId).Bind(3, now).Bind(4, productId).Run();
}

}  // namespace vnservice
