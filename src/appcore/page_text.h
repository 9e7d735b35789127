// The readable text of an HTML page, for the preview pane's plain rendering:
// tags dropped (with the contents of head, script and style), block ends as
// line breaks, list items as "- " lines, character references decoded
// (numeric ones above 255 become "?", since the pane shows Windows-1252
// text), runs of white space folded to one space, at most one empty line in a row.
#pragma once

#include <string>

namespace appcore {

std::string PageText(const std::string& html);

}  // namespace appcore
