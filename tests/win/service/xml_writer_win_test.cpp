// The scan document is written through a C stream opened in text mode: each
// line feed the writer produces must reach the file as CR LF.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/xml_writer.h"

TEST(XmlWriterWin, TextModeFileGetsCrLf) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "varnel-writer-text.xml";
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
    std::filesystem::remove(path);
    EXPECT_EQ(bytes.str(), "<a>\r\n <b>one\r\n two</b>\r\n</a>");
}
