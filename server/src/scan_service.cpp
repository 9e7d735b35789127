#include "scan_service.h"

#include <cstdio>
#include <set>

#include "catalogue_index.h"
#include "platform/text.h"
#include "secure_random.h"
#include "version.h"
#include "xml_writer.h"

namespace vnservice {
namespace {

const char kLoginRefused[] = "This computer has been disabled on the Zelto update service.";
const char kLoginRefusedMessage[] =
    "Update checks for this computer were stopped by the service operator. Please contact Zelto support.";

bool IsDigits(const std::string& s) {
    if (s.empty() || s.size() > 10) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// The installed version the comparison uses: the first version text of the
// item that holds a number.
std::string InstalledVersion(const RequestItem& item) {
    for (const char* field : {"InstalledVers", "InstalledVers2", "InstalledVers3", "SuiteIdentity/VersionString"}) {
        const std::string& v = item.Field(field);
        if (ParseVersion(v)) return v;
    }
    return item.Field("InstalledVers");
}

uint32_t BigEndian32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

// Width and height from a PNG's header chunk; nothing when the data is not a
// PNG of a sensible icon size.
std::optional<std::pair<int, int>> PngSize(const std::string& png) {
    static const char kSignature[] = "\x89PNG\r\n\x1a\n";
    if (png.size() < 33 || png.compare(0, 8, kSignature, 8) != 0 || png.compare(12, 4, "IHDR") != 0)
        return std::nullopt;
    const uint32_t w = BigEndian32(png, 16), h = BigEndian32(png, 20);
    if (w == 0 || h == 0 || w > 1024 || h > 1024) return std::nullopt;
    return std::make_pair(static_cast<int>(w), static_cast<int>(h));
}

struct IconContext {
    ServiceStore& store;
    const CatalogueIndex& catalogue;
    std::set<int64_t>& withIcons;
    const std::string& machineId;
    const std::string& now;
};

// Keeps the icons an item sent. An icon names its product; when it does not
// name one the catalogue knows, it belongs to the product the item matched.
void StoreIcons(const RequestItem& item, const Product* matched, IconContext& ctx) {
    for (const ItemIcon& icon : item.icons) {
        const Product* product = matched;
        if (!icon.productId.empty() && IsDigits(icon.productId))
            if (const Product* named = ctx.catalogue.Find(std::stoll(icon.productId))) product = named;
        if (!product) continue;
        if (icon.generic) {
            ctx.store.SaveGenericIcon(product->id, ctx.machineId, ctx.now);
            ctx.withIcons.insert(product->id);
            continue;
        }
        if (!textutil::EqualsNoCase(icon.format, "PNG") || !textutil::EqualsNoCase(icon.encoding, "Base64")) continue;
        if (icon.data.size() > kMaxIconBytes * 4 / 3 + 8) continue;
        const auto png = DecodeBase64(icon.data);
        if (!png || png->size() > kMaxIconBytes) continue;
        const auto size = PngSize(*png);
        if (!size) continue;
        ctx.store.SaveIcon(product->id, size->first, size->second, *png, ctx.machineId, ctx.now);
        ctx.withIcons.insert(product->id);
    }
}

void WriteAuthentication(XmlWriter& xml, const ScanRequest& request, const std::string& machineId) {
    xml.Open("authentication");
    xml.Leaf("machinename", request.machineName);
    xml.Leaf("machineid", machineId);
    xml.Close();
}

}  // namespace

bool IsPlausibleId(const std::string& id) {
    if (id.empty() || id.size() > 64) return false;
    for (char c : id) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
        if (!ok) return false;
    }
    return true;
}

std::optional<std::string> DecodeBase64(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    uint32_t bits = 0;
    int count = 0, padding = 0;
    for (char c : text) {
        int v;
        if (c >= 'A' && c <= 'Z') v = c - 'A';
        else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
        else if (c >= '0' && c <= '9') v = c - '0' + 52;
        else if (c == '+') v = 62;
        else if (c == '/') v = 63;
        else if (c == '=') {
            ++padding;
            continue;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            continue;
        } else {
            return std::nullopt;
        }
        if (padding) return std::nullopt;  // data after padding
        bits = (bits << 6) | static_cast<uint32_t>(v);
        if (++count == 4) {
            out += static_cast<char>((bits >> 16) & 0xFF);
            out += static_cast<char>((bits >> 8) & 0xFF);
            out += static_cast<char>(bits & 0xFF);
            bits = 0;
            count = 0;
        }
    }
    if (count == 1 || padding > 2 || (padding && count + padding != 4)) return std::nullopt;
    if (count == 2) out += static_cast<char>((bits >> 4) & 0xFF);
    if (count == 3) {
        out += static_cast<char>((bits >> 10) & 0xFF);
        out += static_cast<char>((bits >> 2) & 0xFF);
    }
    return out;
}

ScanService::ScanService(ServiceStore& store, std::string publicUrl)
    : store_(store), publicUrl_(std::move(publicUrl)) {
    while (!publicUrl_.empty() && publicUrl_.back() == '/') publicUrl_.pop_back();
}

std::string ScanService::NewId() {
    // 128 bits from the system's random source, laid out like a UUID
    // (8-4-4-4-12 lower-case hex digits) as identifiers have always been
    // written: safe in URLs and in the registry.
    const std::string hex = RandomHex(16);
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" +
           hex.substr(20, 12);
}

std::string ExpandAddress(const std::string& publicUrl, const std::string& url, const std::string& machineId,
                          const std::string& token) {
    std::string out = url;
    for (const auto& [placeholder, value] : {std::pair<std::string, const std::string&>{"{machineId}", machineId},
                                             std::pair<std::string, const std::string&>{"{token}", token}})
        for (size_t at = 0; (at = out.find(placeholder, at)) != std::string::npos; at += value.size())
            out.replace(at, placeholder.size(), value);
    if (out.empty() || textutil::StartsWithNoCase(out, "http://") || textutil::StartsWithNoCase(out, "https://"))
        return out;
    return publicUrl + (out.front() == '/' ? "" : "/") + out;
}

std::string ScanService::Absolute(const std::string& url, const std::string& machineId) const {
    // Only the machine's own pages carry its token; catalogue addresses never do.
    const std::string token = url.find("{token}") != std::string::npos ? store_.PageToken(machineId) : std::string();
    return ExpandAddress(publicUrl_, url, machineId, token);
}

ScanOutcome ScanService::Handle(const ScanRequest& request) {
    auto lock = store_.Lock();
    Transaction tx(store_.Db());
    const std::string now = UtcNow();
    ScanOutcome outcome;
    outcome.check = request.isCheck;

    // The machine: known by its identifier, or registered now.
    std::optional<Machine> machine;
    if (IsPlausibleId(request.machineId)) machine = store_.FindMachine(request.machineId);
    if (!machine) {
        machine = Machine{NewId(), request.machineName, false};
        store_.CreateMachine(machine->id, now);
        outcome.newMachine = true;
    }
    outcome.machineId = machine->id;

    XmlWriter xml;
    // No namespace on the root: the agent selects "/meridox/status/exclusion"
    // with an XPath that has no namespace prefix.
    xml.Open("meridox", {{"revision", "0"}});
    xml.Open("status");

    if (machine->blocked) {
        outcome.refused = true;
        xml.Leaf("code", kStatusRefused);
        xml.Leaf("login-error", kLoginRefused);
        xml.Leaf("message", kLoginRefusedMessage);
        xml.Close();
        WriteAuthentication(xml, request, machine->id);
        outcome.reply = xml.Finish();
        tx.Commit();
        return outcome;
    }

    KeepMachineData(request, machine->id, now);

    // The scan: a pre-scan opens one; a check continues the one it names when
    // that belongs to this machine (a check from the tray runs without a
    // pre-scan and names the previous scan), or opens one.
    bool newScan = true;
    if (request.isCheck && IsPlausibleId(request.scanId)) {
        const auto owner = store_.ScanOwner(request.scanId);
        newScan = !owner || *owner != machine->id;
    }
    outcome.scanId = newScan ? NewId() : request.scanId;
    if (newScan) store_.CreateScan(outcome.scanId, machine->id, now);

    xml.Leaf("code", kStatusOk);
    if (outcome.newMachine) xml.Leaf("set-machine-id", machine->id);
    if (newScan) xml.Leaf("scanid", outcome.scanId);
    if (request.isCheck) WriteCheckStatus(xml, machine->id, outcome);
    else WritePreScanStatus(xml, request, machine->id, outcome.newMachine);
    xml.Close();  // status
    WriteAuthentication(xml, request, machine->id);

    if (request.isCheck) AnswerItems(xml, request, outcome, now);

    outcome.reply = xml.Finish();
    tx.Commit();
    return outcome;
}

void ScanService::KeepMachineData(const ScanRequest& request, const std::string& machineId, const std::string& now) {
    store_.TouchMachine(machineId, request.machineName, request.clientVersion, request.clientPlatform, now);
    store_.SaveFacts(machineId, "profile", request.profile);
    store_.SaveFacts(machineId, "clientsettings", request.clientSettings);
    std::map<std::string, std::string> sent = {{"clientVersion", request.clientVersion},
                                               {"clientPlatform", request.clientPlatform},
                                               {"timestamp", request.timestamp}};
    if (!request.exclusionListDate.empty()) sent["exclusionListDate"] = request.exclusionListDate;
    if (!request.authType.empty()) sent["authenticationType"] = request.authType;
    store_.SaveFacts(machineId, request.isCheck ? "check" : "prescan", sent);
}

void ScanService::WritePreScanStatus(XmlWriter& xml, const ScanRequest& request, const std::string& machineId,
                                     bool newMachine) {
    const std::string welcome = store_.SiteSetting("welcome_url");
    if (newMachine && !welcome.empty()) xml.Leaf("progresspage", Absolute(welcome, machineId));

    // Offer the newest agent release when it is newer than the client.
    const auto releases = store_.AgentReleases();
    const AgentRelease* newest = nullptr;
    for (const AgentRelease& r : releases) {
        if (!ParseVersion(r.version)) continue;
        if (!newest || CompareVersions(r.version, newest->version).value_or(0) > 0) newest = &r;
    }
    if (newest && CompareVersions(newest->version, request.clientVersion).value_or(0) > 0)
        xml.Leaf("clientupdate", Absolute(newest->url, machineId), {{"version", newest->version}});

    // The exclusion list goes with every pre-scan; the agent keeps it only
    // when its date is newer than the list it has.
    const std::string revDate = store_.SiteSetting("exclusion_rev_date");
    if (revDate.empty()) return;
    xml.Open("exclusion", {{"revDate", revDate}});
    for (const ExclusionEntry& e : store_.Exclusions()) {
        // Attributes in the order the agent reads them: product, name, dir.
        XmlAttributes attrs;
        if (e.product) attrs.emplace_back("product", *e.product);
        if (e.name) attrs.emplace_back("name", *e.name);
        if (e.dir) attrs.emplace_back("dir", *e.dir);
        xml.Empty("item", attrs);
    }
    xml.Close();
}

void ScanService::WriteCheckStatus(XmlWriter& xml, const std::string& machineId, ScanOutcome& outcome) {
    const std::string home = store_.SiteSetting("homepage_url");
    if (!home.empty()) xml.Leaf("homepage", outcome.homepage = Absolute(home, machineId));
    const std::string help = store_.SiteSetting("help_url");
    if (!help.empty()) xml.Leaf("helpage", Absolute(help, machineId));
}

void ScanService::AnswerItems(XmlWriter& xml, const ScanRequest& request, ScanOutcome& outcome,
                              const std::string& now) {
    const CatalogueIndex catalogue(store_.Products(), store_.MatchRules());
    std::set<int64_t> withIcons = store_.ProductsWithIcons();
    IconContext icons{store_, catalogue, withIcons, outcome.machineId, now};
    std::vector<StoredItem> stored;
    stored.reserve(request.items.size());

    for (const RequestItem& item : request.items) {
        StoredItem s;
        s.sequence = item.Sequence();
        s.kind = item.IsDriver() ? "driver" : "software";
        s.progName = item.IsDriver() ? item.Field("DeviceDesc") : item.Field("ProgName");
        if (s.progName.empty()) s.progName = item.Field("SuiteIdentity/InstalledProductName");
        s.installedVersion = item.IsDriver() ? item.Field("DriverVersion") : InstalledVersion(item);
        for (const ItemField& f : item.fields) s.fields.emplace_back(f.name, f.text);
        ++outcome.counts.items;

        const auto recognised = catalogue.Recognise(item);
        const Product* product = recognised ? recognised->product : nullptr;
        StoreIcons(item, product, icons);
        // The agent finds the item again only by a decimal sequence number.
        if (product && IsDigits(s.sequence)) {
            const bool outdated = CompareVersions(s.installedVersion, product->currentVersion).value_or(0) < 0;
            s.productId = product->id;
            s.matchedBy = recognised->matchedBy;
            s.currentVersion = product->currentVersion;
            s.outdated = outdated;
            ++outcome.counts.recognised;
            if (outdated) ++outcome.counts.outdated;
            WriteUpdate(xml, s, *product, withIcons.count(product->id) == 0, outcome.machineId);
        }
        stored.push_back(std::move(s));
    }
    std::optional<int64_t> readyAt;
    if (reportDelayMs_ > 0) readyAt = NowMs() + reportDelayMs_;
    store_.StoreCheck(outcome.scanId, stored, outcome.counts, request.timestamp, now, readyAt);
}

void ScanService::WriteUpdate(XmlWriter& xml, const StoredItem& item, const Product& product, bool needsIcon,
                              const std::string& machineId) const {
    if (needsIcon) xml.Open("update", {{"serverNeedsIcon", "true"}});
    else xml.Open("update");
    const std::string canonical = CanonicalVersion(item.installedVersion);
    xml.Leaf("Sequence", item.sequence);
    xml.Leaf("ProgName", product.name);
    xml.Leaf("CurrentVers", product.currentVersion);
    xml.Leaf("CurrentDate", product.releaseDate);
    xml.Leaf("Outdated", item.outdated.value_or(false) ? "true" : "false");
    xml.Leaf("URL", Absolute(product.productUrl, machineId));
    xml.Leaf("DirectDLUrl", Absolute(product.downloadUrl, machineId));
    xml.Leaf("DirectDLIsFile", product.downloadIsFile ? "true" : "false");
    xml.Leaf("MyVersion", item.installedVersion);
    xml.Leaf("ID", Fingerprint(product.id), {{"type", "fingerPrint"}});
    xml.Leaf("productID", std::to_string(product.id));
    // Items of one product at one installed version share this, so the agent
    // can fold duplicates found through different sources.
    xml.Leaf("MatchedPvId", canonical.empty() ? std::string() : std::to_string(product.id) + ":" + canonical);
    xml.Leaf("AdditionalInfo", product.additionalInfo);
    xml.Close();
}

}  // namespace vnservice
