// The preview pane's text of an HTML page.
#include "appcore/page_text.h"

#include <gtest/gtest.h>

namespace {

TEST(PageText, KeepsTheReadableTextWithItsBlocksAndDecodedCharacters) {
    const std::string page =
        "<!DOCTYPE html><html><head><title>hidden</title><style>p { color: red }</style></head>\n"
        "<body><script>var x = '<p>no</p>';</script><!-- a <b>comment</b> -->"
        "<h1>Notepad++   7.8.1</h1><p>A  free\n source <b>code</b> editor.</p>"
        "<ul><li>Size: 4&nbsp;MB</li><li>Licence: GPL &amp; more &lt;v2&gt; &#169; &#x263A; &bogus;</li></ul>"
        "<table><tr><td>Publisher</td><td>Don Ho</td></tr></table>line<br>break</body></html>";
    EXPECT_EQ(appcore::PageText(page),
              "Notepad++ 7.8.1\n\nA free source code editor.\n\n- Size: 4 MB\n"
              "- Licence: GPL & more <v2> \xA9 ? &bogus;\n\nPublisher Don Ho\n\nline\nbreak");
    // A page cut short loses only the unfinished tag.
    EXPECT_EQ(appcore::PageText("<p>Version 2</p><a href=\"x"), "Version 2");
    EXPECT_EQ(appcore::PageText(""), "");
}

}  // namespace
