// The program's string table, by number (the same entries as the resource
// script's STRINGTABLE).
#pragma once

#include <string>

namespace platform {

// The text of a string-table entry, or an empty text for an unknown number.
std::string LoadText(int id);

}  // namespace platform
