#include "page_endpoint.h"

#include <httplib.h>

#include "html.h"
#include "scan_service.h"

namespace vnservice {
namespace {

// Scans listed in a machine page's history.
constexpr int kHistoryLength = 8;

// Compared against when the machine is unknown, so that an unknown machine
// and a wrong token take the same path.
const std::string kNoToken(kPageTokenBytes * 2, '0');

void SetPageHeaders(httplib::Response& res) {
    // The token is in the address: keep it out of caches and out of the
    // Referer sent to the download sites the page links to.
    res.set_header("Cache-Control", "no-store");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; style-src 'unsafe-inline'; img-src 'self'; form-action 'none'; "
                   "frame-ancestors 'none'; base-uri 'none'");
}

void SendPage(httplib::Response& res, int status, const std::string& page) {
    SetPageHeaders(res);
    res.status = status;
    res.set_content(page, "text/html; charset=utf-8");
}

std::string NotFoundPage() {
    return HtmlPage("Page not found",
                    "<h1>Page not found</h1>\n<p>This address does not lead to a page. The address of your "
                    "computer's page is the one the Zelto Varnel icon opens: right-click the icon in the "
                    "notification area and choose <b>Go to my Zelto Varnel page</b>.</p>\n");
}

std::string Cell(const char* label, const std::string& html, const char* cls = nullptr) {
    std::string out = "<td";
    if (cls) out += std::string(" class=\"") + cls + "\"";
    out += std::string(" data-label=\"") + label + "\">";
    out += html.empty() ? "&ndash;" : html;
    out += "</td>";
    return out;
}

std::string Head(std::initializer_list<const char*> columns) {
    std::string out = "<thead><tr>";
    for (const char* c : columns) out += std::string("<th scope=\"col\">") + c + "</th>";
    return out + "</tr></thead>\n";
}

// The catalogue's address as the agent gets it, or no link at all.
std::string Link(const std::string& publicUrl, const std::string& url, const std::string& machineId,
                 const std::string& text, const char* cls = nullptr) {
    const std::string href = SafeHref(ExpandAddress(publicUrl, url, machineId, std::string()));
    if (href.empty()) return {};
    std::string out = "<a href=\"" + href + "\" rel=\"noreferrer noopener\"";
    if (cls) out += std::string(" class=\"") + cls + "\"";
    return out + ">" + EscapeHtml(text) + "</a>";
}

// What the agent is, what it sends and how to remove it: shared by the
// welcome page and the help page.
const char kAboutAgent[] = R"HTML(
<section class="text" id="what-it-does">
<h2>What Zelto Varnel does</h2>
<p>Zelto Varnel runs in the notification area of your taskbar. On a schedule (every 4 hours, daily, weekly or
monthly; you choose in <b>Settings&hellip;</b>), when it starts, or when you choose <b>Scan Now</b>, it makes a list
of the programs installed on your computer and asks the Zelto update service which of them have newer versions.
Its icon menu then shows the programs that are out of date, and <b>Go to my Zelto Varnel page</b> opens your
computer's page, with the current version of each program and where to download it.</p>
<p>Zelto Varnel never installs or changes other programs; you decide what to update. It may update itself, and
only installs a new version of itself that carries the maker's valid signature.</p>
</section>
)HTML";

const char kWhatItSends[] = R"HTML(
<section class="text" id="what-it-sends">
<h2>What it sends</h2>
<p>Each check sends one document to the update service:</p>
<ul>
<li><b>Your computer's identity:</b> the computer's name, and the identifiers the service gave it (the machine
and the scan identifier).</li>
<li><b>Your programs:</b> for each program found in Windows' list of installed programs, the Windows Installer,
shortcuts in the Start Menu, Quick Launch, on the Desktop and in the recent documents, and the programs running at
the time: its name, versions, where it was found, the name and folder of its program file, its shortcut name and
description, installer product codes, publisher signature text and fingerprints (MD5 digests) of the program file.
Its icon is sent when the service asks for one. Programs you removed from the list are not sent.</li>
<li><b>Your drivers</b> (unless you turned driver scanning off): device description, class and maker, driver
version, date, provider and description, device identifiers and the driver's files.</li>
<li><b>Its settings:</b> which places it looks in, how often it checks, and whether the system information below
is included.</li>
<li><b>Always, about the computer:</b> that it runs Windows, the computer's maker and model, the name of the
operating system, the agent's own version and a fingerprint of its program file, the time of the next scheduled
check and the current time.</li>
</ul>
<p id="sys-info">The settings box <b>Include contents of System Info tab when communicating with Varnel server</b>
(on unless you turn it off) decides whether these are sent as well:</p>
<ul id="sys-info-list">
<li>the operating system's version, service pack and build number</li>
<li>the Windows folder</li>
<li>the processor type</li>
<li>the processor's level, revision and clock speed</li>
<li>the number of processors</li>
<li>the amount of memory (RAM)</li>
<li>the screen resolution</li>
</ul>
<p>With the box off, those values are sent empty. Your documents, files and browsing are never read or sent.</p>
</section>
)HTML";

const char kHowToRemove[] = R"HTML(
<section class="text" id="how-to-remove">
<h2>How to remove it</h2>
<ol>
<li>Right-click the Zelto Varnel icon in the notification area and choose <b>Exit</b>.</li>
<li>Open <b>Settings &rsaquo; Apps &rsaquo; Installed apps</b> (on older Windows: <b>Control Panel &rsaquo;
Programs and Features</b>), choose <b>Zelto Varnel</b> and then <b>Uninstall</b>.</li>
<li>To stop it starting with Windows without removing it, clear <b>Add Zelto Varnel to my computer Startup
items</b> in its <b>Settings&hellip;</b>.</li>
<li>To remove what it kept on your computer, delete the folder <code>%APPDATA%\Harbinel\Zelto Varnel</code> and
the registry key <code>HKEY_CURRENT_USER\Software\Harbinel\Zelto Varnel</code>.</li>
</ol>
</section>
)HTML";

}  // namespace

PageEndpoint::PageEndpoint(ServiceStore& store, std::string publicUrl)
    : store_(store), publicUrl_(std::move(publicUrl)) {
    while (!publicUrl_.empty() && publicUrl_.back() == '/') publicUrl_.pop_back();
}

void PageEndpoint::Mount(httplib::Server& server) {
    server.Get(R"(/my/([A-Za-z0-9-]{1,64})/?)", [this](const httplib::Request& req, httplib::Response& res) {
        const auto page = MachinePage(req.matches[1].str(), req.get_param_value("token"));
        if (page) SendPage(res, 200, *page);
        else SendPage(res, 404, NotFoundPage());
    });
    // Any other address under /my/ is no machine's page either.
    server.Get(R"(/my(/.*)?)", [](const httplib::Request&, httplib::Response& res) {
        SendPage(res, 404, NotFoundPage());
    });
    server.Get(R"(/welcome/?)", [this](const httplib::Request& req, httplib::Response& res) {
        SendPage(res, 200, WelcomePage(req.get_param_value("machineId"), req.get_param_value("token")));
    });
    server.Get(R"(/help/?)", [](const httplib::Request&, httplib::Response& res) { SendPage(res, 200, HelpPage()); });
}

bool PageEndpoint::Opens(const std::string& machineId, const std::string& token) {
    const std::string expected = IsPlausibleId(machineId) ? store_.StoredPageToken(machineId) : std::string();
    // A machine without a token yet (registered before tokens existed) has no
    // page until its next check gives it one.
    const bool known = !expected.empty();
    const bool equal = ConstantTimeEquals(token, known ? expected : kNoToken);
    return known && equal;
}

std::optional<std::string> PageEndpoint::MachinePage(const std::string& machineId, const std::string& token) {
    auto lock = store_.Lock();
    if (!Opens(machineId, token)) return std::nullopt;
    store_.FinishDueScans(NowMs());
    const auto report = store_.LatestReport(machineId);
    if (!report) return std::nullopt;
    const auto history = store_.ScanHistory(machineId, kHistoryLength);
    lock.unlock();

    const std::string name = report->machineName.empty() ? std::string("Your computer") : report->machineName;
    std::string b;
    b += "<h1 id=\"machine-name\">" + EscapeHtml(name) + "</h1>\n<p class=\"meta\">";
    if (report->scan) b += "Last checked <span id=\"last-check\">" + ShowTime(report->scan->checked) + "</span>";
    else b += "Not checked yet";
    if (!report->operatingSystem.empty()) b += " &middot; " + EscapeHtml(report->operatingSystem);
    if (!report->clientVersion.empty()) b += " &middot; Zelto Varnel " + EscapeHtml(report->clientVersion);
    b += "</p>\n";

    if (!history.empty() && history.front().status == "IN_PROGRESS" && !history.front().checked.empty())
        b += "<p class=\"notice\" id=\"processing\">The check sent at " + ShowTime(history.front().checked) +
             " is still being processed; this page shows the check before it.</p>\n";

    if (!report->scan) {
        b += "<p class=\"notice\" id=\"no-check\">Zelto Varnel has not finished a check of this computer yet. "
             "Once it has, this page lists your programs and which of them have newer versions.</p>\n";
    } else {
        std::vector<const ReportEntry*> outdated, current;
        for (const ReportEntry& e : report->products) (e.outdated ? outdated : current).push_back(&e);

        b += "<div class=\"summary\">\n";
        b += std::string("<div class=\"stat ") + (outdated.empty() ? "ok" : "warn") + "\" id=\"count-outdated\"><b>" +
             std::to_string(outdated.size()) + "</b>out of date</div>\n";
        b += "<div class=\"stat\" id=\"count-current\"><b>" + std::to_string(current.size()) + "</b>up to date</div>\n";
        b += "<div class=\"stat\" id=\"count-unrecognised\"><b>" + std::to_string(report->unrecognised.size()) +
             "</b>not recognised</div>\n";
        b += "<div class=\"stat\" id=\"count-drivers\"><b>" + std::to_string(report->drivers.size()) +
             "</b>" + (report->drivers.size() == 1 ? "driver" : "drivers") + "</div>\n</div>\n";

        b += "<section id=\"outdated\">\n<h2>Out of date</h2>\n";
        if (outdated.empty()) {
            b += "<p>Every program the update service knows on this computer is up to date.</p>\n";
        } else {
            b += "<table>\n" + Head({"Program", "Installed", "Current", "Released", "Publisher", "Download"}) +
                 "<tbody>\n";
            for (const ReportEntry* e : outdated) {
                const std::string title = Link(publicUrl_, e->productUrl, machineId, e->name);
                b += "<tr class=\"outdated\" data-product=\"" + std::to_string(e->productId) + "\">";
                b += Cell("Program", title.empty() ? EscapeHtml(e->name) : title, "name");
                b += Cell("Installed", EscapeHtml(e->installedVersion), "version installed");
                b += Cell("Current", EscapeHtml(e->currentVersion), "version current");
                b += Cell("Released", EscapeHtml(e->releaseDate), "date");
                b += Cell("Publisher", EscapeHtml(e->publisher), "publisher");
                b += Cell("Download", Link(publicUrl_, e->downloadUrl, machineId, "Download", "button download"),
                          "download");
                b += "</tr>\n";
            }
            b += "</tbody></table>\n";
        }
        b += "</section>\n";

        b += "<section id=\"current\">\n<h2>Up to date</h2>\n";
        if (current.empty()) {
            b += "<p>None of the programs the update service recognised is at its current version.</p>\n";
        } else {
            b += "<table>\n" + Head({"Program", "Installed", "Released", "Publisher"}) + "<tbody>\n";
            for (const ReportEntry* e : current) {
                const std::string title = Link(publicUrl_, e->productUrl, machineId, e->name);
                b += "<tr class=\"current\" data-product=\"" + std::to_string(e->productId) + "\">";
                b += Cell("Program", title.empty() ? EscapeHtml(e->name) : title, "name");
                b += Cell("Installed", EscapeHtml(e->installedVersion), "version installed");
                b += Cell("Released", EscapeHtml(e->releaseDate), "date");
                b += Cell("Publisher", EscapeHtml(e->publisher), "publisher");
                b += "</tr>\n";
            }
            b += "</tbody></table>\n";
        }
        b += "</section>\n";

        if (!report->unrecognised.empty()) {
            b += "<section id=\"unrecognised\">\n<h2>Not recognised</h2>\n<p>The update service does not know "
                 "these yet, so it cannot tell whether they are current.</p>\n<table>\n" +
                 Head({"Program", "Installed"}) + "<tbody>\n";
            for (const ReportEntry& e : report->unrecognised) {
                b += "<tr class=\"unrecognised\">";
                b += Cell("Program", e.installedName.empty() ? std::string("<i>no name</i>") : EscapeHtml(e.installedName),
                          "name");
                b += Cell("Installed", EscapeHtml(e.installedVersion), "version installed");
                b += "</tr>\n";
            }
            b += "</tbody></table>\n</section>\n";
        }
        if (!report->drivers.empty()) {
            b += "<section id=\"drivers\">\n<h2>Drivers</h2>\n<table>\n" +
                 Head({"Device", "Driver version", "Date", "Provider"}) + "<tbody>\n";
            for (const ReportEntry& e : report->drivers) {
                b += "<tr class=\"driver\">";
                b += Cell("Device", EscapeHtml(e.installedName), "name");
                b += Cell("Driver version", EscapeHtml(e.installedVersion), "version installed");
                b += Cell("Date", EscapeHtml(e.releaseDate), "date");
                b += Cell("Provider", EscapeHtml(e.publisher), "publisher");
                b += "</tr>\n";
            }
            b += "</tbody></table>\n</section>\n";
        }
    }

    if (!history.empty()) {
        b += "<section id=\"history\">\n<h2>Recent checks</h2>\n<table>\n" +
             Head({"Started", "Checked", "Status", "Items sent", "Out of date"}) + "<tbody>\n";
        for (const ScanSummary& s : history) {
            const bool checked = !s.checked.empty();
            std::string status = s.status == "COMPLETE" ? "Complete" : s.status == "FAILED" ? "Failed"
                                 : checked             ? "Processing"
                                                       : "Started";
            b += "<tr class=\"scan\">";
            b += Cell("Started", ShowTime(s.created), "date");
            b += Cell("Checked", checked ? ShowTime(s.checked) : std::string(), "date");
            b += Cell("Status", "<span class=\"status-" + EscapeHtml(s.status) + "\">" + status + "</span>", "status");
            b += Cell("Items sent", checked ? std::to_string(s.items) : std::string(), "count");
            b += Cell("Out of date", checked ? std::to_string(s.outdated) : std::string(), "count");
            b += "</tr>\n";
        }
        b += "</tbody></table>\n</section>\n";
    }
    return HtmlPage(name + " \xE2\x80\x93 Zelto Varnel", b);
}

std::string PageEndpoint::WelcomePage(const std::string& machineId, const std::string& token) {
    bool own = false;
    if (!token.empty()) {
        auto lock = store_.Lock();
        own = Opens(machineId, token);
    }
    std::string b =
        "<h1>Welcome to Zelto Varnel</h1>\n<p class=\"meta\">Zelto Varnel is now installed and running. It is "
        "making its first list of the programs on this computer; this takes a few minutes.</p>\n";
    if (own) {
        const std::string href =
            SafeHref(publicUrl_ + "/my/" + machineId + "?token=" + token);
        b += "<p class=\"notice\" id=\"your-page\">When the first check is done, <a href=\"" + href +
             "\">your computer's page</a> lists your programs and which of them have newer versions. The Zelto "
             "Varnel icon opens it too.</p>\n";
    }
    b += kAboutAgent;
    b += kWhatItSends;
    b += kHowToRemove;
    return HtmlPage("Welcome to Zelto Varnel", b);
}

std::string PageEndpoint::HelpPage() {
    std::string b =
        "<h1>Zelto Varnel help</h1>\n<p class=\"meta\">How it works, what it sends and how to remove it.</p>\n";
    b += kAboutAgent;
    b += kWhatItSends;
    b += kHowToRemove;
    return HtmlPage("Zelto Varnel help", b);
}

}  // namespace vnservice
