// The shared reply-parser suite against expat, and the host-only cases.
#include "common/reply_parser_suite.cpp"

#include <unistd.h>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/vn_exception.h"

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
    char folder[] = "/tmp/vnreply-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string log = std::string(folder) + "/vnlog.txt";
    ASSERT_TRUE(vnlog::Open(log));
    ThrowingParser parser;
    for (const std::string text : {"<a><boom/><b/></a>", "<a><bang/></a>"})
        EXPECT_EQ(parser.ParseBuffer(text.data(), text.size()), platform::SaxResult::Malformed);
    vnlog::Close();
    const std::string written = platform::ReadWholeFile(log).value_or("");
    ::unlink(log.c_str());
    ::rmdir(folder);
    EXPECT_NE(written.find("\n*** Error caught exception in CXMLParserInit::ParseBufferbroken record\n"),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("\n*** Error caught exception in CXMLParserInit::ParseBuffer in catch all block.\n"),
              std::string::npos)
        << written;
}

}  // namespace replysuite
