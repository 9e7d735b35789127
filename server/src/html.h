// Small helpers for the service's HTML pages: escaping of any text that came
// from a machine or the catalogue, the shared page frame and its style sheet,
// and a comparison that takes the same time wherever two tokens differ.
#pragma once

#include <string>
#include <string_view>

namespace vnservice {

// Text for HTML content or a quoted attribute value: & < > " ' as character
// references, control characters other than tab and line breaks dropped,
// malformed UTF-8 replaced with U+FFFD.
std::string EscapeHtml(std::string_view utf8);

// An address fit for an href: the text escaped when it is an http or https
// address, empty otherwise (no "javascript:" or other schemes).
std::string SafeHref(std::string_view url);

// "2024-06-28T10:16:40Z" as "2024-06-28 10:16 UTC"; other texts escaped as they are.
std::string ShowTime(std::string_view utc);

// A whole page: the title (plain text, escaped here) and the body (HTML).
std::string HtmlPage(std::string_view title, std::string_view body);

// True when `given` equals `expected`; the time taken depends only on the
// length of `expected`.
bool ConstantTimeEquals(std::string_view given, std::string_view expected);

}  // namespace vnservice
