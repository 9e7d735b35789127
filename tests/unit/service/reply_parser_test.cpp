// The reply parser's host-only cases (the shared suite, reply_parser_suite.cpp,
// is linked beside them).
#include <gtest/gtest.h>

#include <string>

#include "common/temp_folder.h"

#include "platform/files.h"
#include "platform/log.h"
#include "platform/vn_exception.h"
#include "service/xml_parser.h"

namespace replysuite {

// A parser whose handling throws, to reach ParseBuffer's own handler.
class ThrowingParser : public vnxml::CXMLParserInit {
protected:
    bool OnStartElement(const std::string& name, const platform::SaxAttributes&) override {
        if (name == "boom") throw CVnException(3, "broken record", 0);
        if (name == "bang") throw 42;
        return true;
    }
};

TEST(ReplyParserHost, ExceptionInsideTheParseIsLoggedAndEndsIt) {
    testing_support::TempFolder folder("vnreply");
    const std::string log = folder.Path("vnlog.txt");
    ASSERT_TRUE(vnlog::Open(log));
    ThrowingParser parser;
    for (const std::string text : {"<a><boom/><b/></a>", "<a><bang/></a>"})
        EXPECT_EQ(parser.ParseBuffer(text.data(), text.size()), platform::SaxResult::Malformed);
    vnlog::Close();
    const std::string written = platform::ReadWholeFile(log).value_or("");
    EXPECT_NE(written.find("\n*** Error caught exception in CXMLParserInit::ParseBufferbroken record\n"),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("\n*** Error caught exception in CXMLParserInit::ParseBuffer in catch all block.\n"),
              std::string::npos)
        << written;
}

}  // namespace replysuite
