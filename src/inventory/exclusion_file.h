// Writing a new "exclusions.xml" from a reply of the update service: the
// reply's `exclusion` element (/meridox/status/exclusion), with all its
// attributes and children, becomes a document of its own behind an XML
// declaration. Windows does this with MSXML's DOM; the host re-writes the
// element from the events of its SAX reader (same element, attributes,
// children and text; comments and processing instructions inside the element
// are not kept).
//
// Every step reports to the debug stream: on failure one of
//   "Error loading XML input from CA. Error code = 0x<code>"
//   "Error retrieving exclusion node from xml. Error code = 0x<code>"
//   "Error creating xml header node. Error code = 0x<code>"
//   "Error save new exclusion list. Error code = 0x<code>" and
//       "Output file name: <path>"
//   "MSXML Com error: <description>"
//   "Failed to initialize COM library. Error code = 0x<code>"
// and on success "Successfully saved new exclution list to: <path>".
// The file is written to a temporary file in the same folder and then moved
// over the old one, so a failure leaves the old list in place.
#pragma once

#include <string>
#include <string_view>

namespace inventory {

// 0 on success, 1 on failure. `replyText` is the reply as the program holds
// it (ANSI code page); its declared encoding, if any, is not applied again.
int SaveExclusionDocument(std::string_view replyText, const std::string& outputPath);

// The reply's element path that holds the exclusion list.
inline constexpr char kExclusionNodePath[] = "/meridox/status/exclusion";

}  // namespace inventory
