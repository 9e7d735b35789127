#include "appcore/page_text.h"

#include <cctype>
#include <cstdlib>

namespace appcore {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The tag's name, lower case, with a leading '/' for an end tag.
std::string TagName(const std::string& tag) {
    size_t i = 0;
    std::string name;
    if (i < tag.size() && tag[i] == '/') name += tag[i++];
    while (i < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[i])) != 0)) name += tag[i++];
    return Lower(name);
}

bool IsBlock(const std::string& name) {
    static const char* const kBlocks[] = {"p",  "div", "br", "tr", "table", "h1", "h2", "h3", "h4",    "h5",
                                          "h6", "ul",  "ol", "li", "dl",    "dt", "dd", "hr", "title", "body"};
    const std::string bare = !name.empty() && name[0] == '/' ? name.substr(1) : name;
    for (const char* block : kBlocks)
        if (bare == block) return true;
    return false;
}

void AppendEntity(const std::string& entity, std::string& out) {
    if (entity.size() > 1 && entity[0] == '#') {
        const bool hex = entity[1] == 'x' || entity[1] == 'X';
        const long code = std::strtol(entity.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10);
        if (code == 160) out += ' ';
        else if (code > 0 && code < 256) out += static_cast<char>(code);
        else out += '?';
        return;
    }
    const std::string name = Lower(entity);
    if (name == "amp") out += '&';
    else if (name == "lt") out += '<';
    else if (name == "gt") out += '>';
    else if (name == "quot") out += '"';
    else if (name == "apos") out += '\'';
    else if (name == "nbsp") out += ' ';
    else out += "&" + entity + ";";
}

}  // namespace

std::string PageText(const std::string& html) {
    const std::string lowered = Lower(html);  // for finding end tags
    std::string out;
    bool space = false;  // a space is owed before the next word
    int newlines = 2;    // line breaks at the end of `out` (none owed at the start)
    const auto breakLine = [&] {
        if (newlines < 2) {
            out += '\n';
            ++newlines;
        }
        space = false;
    };
    const auto put = [&](const std::string& text) {
        if (space && newlines == 0) out += ' ';
        space = false;
        out += text;
        newlines = 0;
    };
    size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<') {
            if (html.compare(i, 4, "<!--") == 0) {
                const size_t end = html.find("-->", i + 4);
                i = end == std::string::npos ? html.size() : end + 3;
                continue;
            }
            const size_t end = html.find('>', i + 1);
            if (end == std::string::npos) break;
            const std::string name = TagName(html.substr(i + 1, end - i - 1));
            i = end + 1;
            if (name == "head" || name == "script" || name == "style") {
                // Skip to the matching end tag.
                const size_t close = lowered.find("</" + name, i);
                i = close == std::string::npos ? html.size() : html.find('>', close);
                i = i == std::string::npos ? html.size() : i + 1;
                continue;
            }
            if (name == "li") {
                if (newlines == 0) breakLine();  // a new line, not an empty one
                put("- ");
            } else if (name == "td" || name == "th") {
                space = true;
            } else if (name == "/li") {
                if (newlines == 0) breakLine();
            } else if (IsBlock(name)) {
                breakLine();
                if (name == "/p" || name == "/h1" || name == "/h2" || name == "/h3" || name == "/title" ||
                    name == "/table" || name == "/ul" || name == "/ol")
                    breakLine();
            }
            continue;
        }
        if (c == '&') {
            const size_t semi = html.find(';', i + 1);
            if (semi != std::string::npos && semi - i <= 10) {
                std::string decoded;
                AppendEntity(html.substr(i + 1, semi - i - 1), decoded);
                put(decoded);
                i = semi + 1;
                continue;
            }
        }
        if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            space = true;
            ++i;
            continue;
        }
        size_t j = i;
        while (j < html.size() && html[j] != '<' && html[j] != '&' &&
               std::isspace(static_cast<unsigned char>(html[j])) == 0)
            ++j;
        put(html.substr(i, j - i));
        i = j;
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

}  // namespace appcore
