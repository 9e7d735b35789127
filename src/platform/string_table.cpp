#include "platform/string_table.h"

#include <algorithm>
#include <iterator>

namespace platform {
namespace {

struct Entry {
    int id;
    const char* text;
};

#define VN_STRING(id, text) {id, text},
constexpr Entry kEntries[] = {
#include "strings.inc"
};
#undef VN_STRING

}  // namespace

std::string LoadText(int id) {
    const auto it = std::find_if(std::begin(kEntries), std::end(kEntries), [id](const Entry& e) { return e.id == id; });
    return it == std::end(kEntries) ? std::string() : std::string(it->text);
}

}  // namespace platform
