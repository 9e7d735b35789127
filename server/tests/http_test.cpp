// The service over HTTP, as the agent reaches it: started in-process on a free
// loopback port and called with an HTTP client.
#include <gtest/gtest.h>
#include <httplib.h>

#include <future>
#include <set>
#include <thread>

#include "platform/files.h"
#include "raw_http.h"
#include "running_service.h"
#include "service/frame.h"
#include "xml_tree.h"

using namespace vnservice;

namespace {

const char kPath[] = "/cgi-bin/vncheck.fcgi";
// The agent's own header lines; the last value really ends in "/r/n".
const char kCompressedType[] = "text/xml-compressed";
const char kAgentAccept[] = "text/plain, text/xml-compressed/r/n";

std::string Read(const std::string& relative) {
    return platform::ReadWholeFile(std::string(VARNEL_SOURCE_DIR) + "/" + relative).value_or("");
}

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        running_ = std::make_unique<RunningService>(TestServiceOptions());
        service_ = &running_->Service();
        ASSERT_TRUE(running_->Start());
        port_ = service_->Port();
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    }
    httplib::Result PostFramed(const std::string& document) {
        const auto frame = vnxml::PackFrame(document);
        EXPECT_TRUE(frame);
        httplib::Headers headers = {{"Accept", kAgentAccept}};
        return client_->Post(kPath, headers, *frame, kCompressedType);
    }

    std::unique_ptr<RunningService> running_;
    UpdateService* service_ = nullptr;
    int port_ = 0;
    std::unique_ptr<httplib::Client> client_;
};

}  // namespace

TEST_F(HttpTest, ListensOnLoopbackOnly) {
    EXPECT_GT(port_, 0);
    EXPECT_EQ(service_->PublicUrl(), "http://127.0.0.1:" + std::to_string(port_));
    EXPECT_STREQ(kBindAddress, "127.0.0.1");
}

TEST_F(HttpTest, PlainRequestGetsAPlainReply) {
    auto res = client_->Post(kPath, Read("server/tests/data/prescan.xml"), "text/xml");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/xml");
    auto root = testxml::Parse(res->body);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->Child("status")->Text("code"), "0");

    // A request without any content type (the agent's uncompressed fallback) is plain too.
    const std::string doc = Read("server/tests/data/prescan.xml");
    rawhttp::Socket s(port_);
    s.Send(rawhttp::PostHead(port_, kPath, "Content-Length: " + std::to_string(doc.size()) + "\r\n") + doc);
    const std::string reply = s.Receive(std::chrono::seconds(5));
    EXPECT_EQ(rawhttp::StatusOf(reply), 200);
    EXPECT_TRUE(testxml::Parse(rawhttp::BodyOf(reply)));
}

TEST_F(HttpTest, FramedRequestGetsAFramedReply) {
    auto pre = PostFramed(Read("server/tests/data/prescan.xml"));
    ASSERT_TRUE(pre);
    ASSERT_EQ(pre->status, 200) << pre->body;
    EXPECT_EQ(pre->get_header_value("Content-Type"), kCompressedType);
    const vnxml::UnpackedFrame preBody = vnxml::UnpackFrame(pre->body);
    ASSERT_TRUE(preBody.ok()) << vnxml::FrameErrorText(preBody.error);
    auto preRoot = testxml::Parse(preBody.body);
    ASSERT_TRUE(preRoot);
    const std::string machine = preRoot->Child("status")->Text("set-machine-id");
    const std::string scan = preRoot->Child("status")->Text("scanid");
    EXPECT_TRUE(preRoot->Child("status")->Child("exclusion"));

    std::string check = Read("server/tests/data/check.xml");
    check.replace(check.find("@MACHINEID@"), 11, machine);
    check.replace(check.find("@SCANID@"), 8, scan);
    auto res = PostFramed(check);
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    const vnxml::UnpackedFrame body = vnxml::UnpackFrame(res->body);
    ASSERT_TRUE(body.ok());
    auto root = testxml::Parse(body.body);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->All("update").size(), 5u);
}

TEST_F(HttpTest, BadRequestsGetAClearRefusal) {
    const struct {
        std::string body, type;
        int status;
        std::string text;
    } cases[] = {
        {"", "text/xml", 400, "empty request"},
        {"<html><body>hello</body></html>", "text/xml", 400, "not a scan document: root element is <html>"},
        {"<meridox><unclosed></meridox>", "text/xml", 400, "not a scan document: malformed XML"},
        {Read("server/tests/data/prescan.xml"), kCompressedType, 400, "request frame cannot be unpacked"},
        // A frame that claims a 4 GB body is refused without allocating it.
        {std::string("\0\0\0\0\xFF\xFF\xFF\xFF\0\0\0\0\0\0\0\0x\x9C\x03\0\0\0\0\x01", 24), kCompressedType, 400,
         "implausible uncompressed length"},
    };
    for (const auto& c : cases) {
        auto res = client_->Post(kPath, c.body, c.type.c_str());
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, c.status) << c.text;
        EXPECT_NE(res->body.find(c.text), std::string::npos) << res->body;
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain");
    }
    // A framed document that is not a scan document.
    auto res = PostFramed("<status/>");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 400);

    // Only POST on the scan path; nothing else is served.
    auto get = client_->Get(kPath);
    ASSERT_TRUE(get);
    EXPECT_EQ(get->status, 405);
    EXPECT_EQ(get->get_header_value("Allow"), "POST");
    auto other = client_->Post("/cgi-bin/other", "x", "text/xml");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 404);

    // The service keeps nothing of refused requests and still answers.
    auto ok = client_->Post(kPath, Read("server/tests/data/prescan.xml"), "text/xml");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 200);
    auto lock = service_->Store().Lock();
    Statement machines = service_->Store().Db().Prepare("SELECT COUNT(*) FROM machines");
    ASSERT_TRUE(machines.Step());
    EXPECT_EQ(machines.Int(0), 1);
}

TEST_F(HttpTest, OversizedOrEncodedBodiesAreRefused) {
    auto res = client_->Post(kPath, std::string(kMaxRequestBytes + 1, ' '), "text/xml");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);

    // A small gzip body could inflate far beyond the limit: never read.
    httplib::Headers gzip = {{"Content-Encoding", "gzip"}};
    res = client_->Post(kPath, gzip, std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00", 8), "text/xml");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 415);
    EXPECT_EQ(res->body, "content encodings are not accepted\n");
}

TEST_F(HttpTest, ConcurrentPreScansGetDistinctIdentifiers) {
    const std::string doc = Read("server/tests/data/prescan.xml");
    std::vector<std::future<std::string>> calls;
    for (int i = 0; i < 8; ++i)
        calls.push_back(std::async(std::launch::async, [&] {
            httplib::Client client("127.0.0.1", port_);
            auto res = client.Post(kPath, doc, "text/xml");
            if (!res || res->status != 200) return std::string("failed");
            auto root = testxml::Parse(res->body);
            return root ? root->Child("status")->Text("set-machine-id") : std::string("unparsable");
        }));
    std::set<std::string> ids;
    for (auto& call : calls) ids.insert(call.get());
    EXPECT_EQ(ids.size(), 8u);
    EXPECT_EQ(ids.count("failed"), 0u);
}

TEST(CommandLine, DefaultsAndOptions) {
    CommandLine cl = ParseCommandLine({});
    ASSERT_TRUE(cl.ok);
    EXPECT_EQ(cl.options.port, 8080);
    EXPECT_EQ(cl.options.database, "varnel-service.db");
    EXPECT_EQ(cl.options.scanPath, "/cgi-bin/vncheck.fcgi");
    EXPECT_TRUE(cl.options.seeds.empty());

    cl = ParseCommandLine({"--port", "0", "--db=/tmp/x.db", "--seed", "a.sql", "--seed", "b.sql", "--scan-path",
                           "/scan", "--public-url", "http://localhost:1/", "--port-file", "p", "--quiet"});
    ASSERT_TRUE(cl.ok) << cl.error;
    EXPECT_EQ(cl.options.port, 0);
    EXPECT_EQ(cl.options.database, "/tmp/x.db");
    EXPECT_EQ(cl.options.seeds, (std::vector<std::string>{"a.sql", "b.sql"}));
    EXPECT_EQ(cl.options.scanPath, "/scan");
    EXPECT_EQ(cl.options.publicUrl, "http://localhost:1/");
    EXPECT_EQ(cl.options.portFile, "p");
    EXPECT_TRUE(cl.options.quiet);

    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--port", "70000"}, {"--port", "80x"}, {"--port"}, {"--db", ""}, {"--scan-path", "scan"}, {"--bind", "0.0.0.0"}})
        EXPECT_FALSE(ParseCommandLine(bad).ok) << bad[0];
}
