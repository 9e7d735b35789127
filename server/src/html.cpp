#include "html.h"

#include "platform/text.h"

namespace vnservice {
namespace {

// Length of the well-formed UTF-8 sequence at s[i], or 0 when it is malformed.
size_t Utf8Length(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned b0 = byte(i);
    size_t len = 0;
    unsigned cp = 0, min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) { len = 2; cp = b0 & 0x1F; min = 0x80; }
    else if (b0 >= 0xE0 && b0 <= 0xEF) { len = 3; cp = b0 & 0x0F; min = 0x800; }
    else if (b0 >= 0xF0 && b0 <= 0xF4) { len = 4; cp = b0 & 0x07; min = 0x10000; }
    else return 0;
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        const unsigned b = byte(i + k);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

// Laid out for a phone first; wider windows get real tables. Rows of the
// tables become cards on narrow screens, each cell labelled from its column.
const char kStyle[] = R"CSS(
:root { color-scheme: light; --ink: #1d2430; --muted: #5a6473; --line: #dde2ea; --accent: #1f5fbf;
        --warn: #b3261e; --warn-bg: #fdecea; --ok: #1e6b3a; --ok-bg: #e8f4ec; --bg: #f5f7fa; }
* { box-sizing: border-box; }
body { margin: 0; font: 16px/1.5 system-ui, "Segoe UI", "DejaVu Sans", Arial, sans-serif; color: var(--ink);
       background: var(--bg); overflow-wrap: anywhere; }
header.site { background: #17325c; color: #fff; padding: .75rem 1rem; }
header.site a { color: #fff; text-decoration: none; font-weight: 600; letter-spacing: .02em; }
main { max-width: 68rem; margin: 0 auto; padding: 1rem; }
h1 { font-size: 1.6rem; margin: .5rem 0 .25rem; line-height: 1.25; }
h2 { font-size: 1.2rem; margin: 2rem 0 .5rem; }
p.meta { color: var(--muted); margin: 0 0 1rem; }
a { color: var(--accent); }
.summary { display: grid; grid-template-columns: repeat(auto-fit, minmax(9rem, 1fr)); gap: .75rem; margin: 1rem 0; }
.stat { background: #fff; border: 1px solid var(--line); border-radius: .5rem; padding: .75rem 1rem; }
.stat b { display: block; font-size: 1.8rem; line-height: 1.1; }
.stat.warn { border-color: #f0b6b1; background: var(--warn-bg); color: var(--warn); }
.stat.ok { border-color: #b7dcc3; background: var(--ok-bg); color: var(--ok); }
.notice { background: #fff8e1; border: 1px solid #f2d27a; border-radius: .5rem; padding: .75rem 1rem; }
section.text { background: #fff; border: 1px solid var(--line); border-radius: .5rem; padding: .25rem 1.25rem 1rem;
               margin: 1rem 0; }
section.text h2 { margin-top: 1rem; }
section.text, p.meta, p.notice { max-width: 52rem; }
table { width: 100%; border-collapse: collapse; background: #fff; border: 1px solid var(--line);
        border-radius: .5rem; }
th, td { text-align: left; padding: .5rem .75rem; border-bottom: 1px solid var(--line); vertical-align: middle; }
th { font-size: .85rem; color: var(--muted); font-weight: 600; background: #fafbfc; }
td.version { font-variant-numeric: tabular-nums; white-space: nowrap; }
tr.outdated td.current { color: var(--warn); font-weight: 600; }
td.empty { color: var(--muted); font-style: italic; }
.button { display: inline-block; background: var(--accent); color: #fff; text-decoration: none;
          padding: .3rem .8rem; border-radius: .35rem; font-weight: 600; white-space: nowrap; }
.status-COMPLETE { color: var(--ok); }
.status-IN_PROGRESS { color: #8a6100; }
.status-FAILED { color: var(--warn); }
footer { max-width: 68rem; margin: 2rem auto; padding: 0 1rem; color: var(--muted); font-size: .9rem; }
@media (max-width: 40rem) {
  table, thead, tbody, tr, td { display: block; border: 0; }
  thead { position: absolute; left: -10000px; }
  tr { background: #fff; border: 1px solid var(--line); border-radius: .5rem; margin: 0 0 .75rem; padding: .5rem .75rem; }
  td { padding: .15rem 0; border: 0; }
  td[data-label]::before { content: attr(data-label) ": "; color: var(--muted); font-size: .85rem; }
  td.name { font-weight: 600; font-size: 1.05rem; }
  td.name::before, td.download::before { content: none; }
  td.download { padding-top: .4rem; }
  table { background: none; }
}
)CSS";

}  // namespace

std::string EscapeHtml(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 16);
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            ++i;
            switch (c) {
                case '&': out += "&amp;"; break;
                case '<': out += "&lt;"; break;
                case '>': out += "&gt;"; break;
                case '"': out += "&quot;"; break;
                case '\'': out += "&#39;"; break;
                default:
                    if (c >= 0x20 && c != 0x7F) out += static_cast<char>(c);
                    else if (c == '\t' || c == '\n' || c == '\r') out += ' ';
                    break;
            }
            continue;
        }
        const size_t len = Utf8Length(utf8, i);
        if (len == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(utf8.substr(i, len));
            i += len;
        }
    }
    return out;
}

std::string SafeHref(std::string_view url) {
    if (!textutil::StartsWithNoCase(url, "http://") && !textutil::StartsWithNoCase(url, "https://")) return {};
    return EscapeHtml(url);
}

std::string ShowTime(std::string_view utc) {
    // YYYY-MM-DDTHH:MM:SSZ, as the service stores times.
    if (utc.size() == 20 && utc[10] == 'T' && utc[19] == 'Z')
        return EscapeHtml(utc.substr(0, 10)) + " " + EscapeHtml(utc.substr(11, 5)) + " UTC";
    return EscapeHtml(utc);
}

std::string HtmlPage(std::string_view title, std::string_view body) {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<meta name=\"referrer\" content=\"no-referrer\">\n<title>";
    out += EscapeHtml(title);
    out += "</title>\n<style>";
    out += kStyle;
    out += "</style>\n</head>\n<body>\n<header class=\"site\"><a href=\"/help/\">Zelto Varnel</a></header>\n<main>\n";
    out += body;
    out += "</main>\n<footer>Zelto Varnel keeps a list of the programs on your computer and tells you which have "
           "newer versions. <a href=\"/help/\">How it works, what it sends, how to remove it</a>.</footer>\n"
           "</body>\n</html>\n";
    return out;
}

bool ConstantTimeEquals(std::string_view given, std::string_view expected) {
    unsigned diff = given.size() == expected.size() ? 0u : 1u;
    for (size_t i = 0; i < expected.size(); ++i) {
        const unsigned char g = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
        diff |= g ^ static_cast<unsigned char>(expected[i]);
    }
    return diff == 0;
}

}  // namespace vnservice
