// The scan document is written through a C stream opened in text mode: each
// line feed the writer produces must reach the file as CR LF.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/temp_folder.h"
#include "platform/xml_writer.h"

TEST(XmlWriterWin, TextModeFileGetsCrLf) {
    const testing_support::TempFolder folder("varnel-writer-text");
    const std::filesystem::path path = folder.path() / "text.xml";
    std::FILE* file = std::fopen(path.string().c_str(), "w");
    ASSERT_NE(file, nullptr);
    {
        vnxml::CXMLFileSink sink(file);
        vnxml::CXMLWriter doc(sink);
        vnxml::CXMLElement a = doc.AddElement("a");
        a.AddTextElement("b", "one\ntwo");
    }
    std::fclose(file);
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    in.close();
    EXPECT_EQ(bytes.str(), "<a>\r\n <b>one\r\n two</b>\r\n</a>");
}
