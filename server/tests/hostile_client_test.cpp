// The service against clients that do not play fair: slow, idle, oversized,
// half-closing, or a web page in the user's browser.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "raw_http.h"
#include "running_service.h"
#include "service/frame.h"
#include "xml_tree.h"

using namespace vnservice;
using namespace std::chrono_literals;
using rawhttp::Socket;
using rawhttp::StatusOf;

namespace {

const char kPath[] = "/cgi-bin/vncheck.fcgi";

std::string Read(const std::string& relative) {
    return platform::ReadWholeFile(std::string(VARNEL_SOURCE_DIR) + "/" + relative).value_or("");
}

class HostileClientTest : public ::testing::Test {
protected:
    void Start(ConnectionLimits limits = {}, const std::string& publicUrl = {}) {
        ServiceOptions options = TestServiceOptions();
        options.publicUrl = publicUrl;
        options.connections = limits;
        running_ = std::make_unique<RunningService>(options);
        service_ = &running_->Service();
        ASSERT_TRUE(running_->Start());
        port_ = service_->Port();
    }

    int64_t Count(const std::string& sql) {
        auto lock = service_->Store().Lock();
        Statement s = service_->Store().Db().Prepare(sql);
        return s.Step() ? s.Int(0) : -1;
    }

    // An ordinary pre-scan followed by a check, as the agent sends them; true
    // when both were answered with recognised items.
    bool OrdinaryCheck() {
        httplib::Client client("127.0.0.1", port_);
        client.set_read_timeout(5, 0);
        auto pre = client.Post(kPath, Read("server/tests/data/prescan.xml"), "text/xml");
        if (!pre || pre->status != 200) return false;
        auto root = testxml::Parse(pre->body);
        if (!root) return false;
        std::string check = Read("server/tests/data/check.xml");
        check.replace(check.find("@MACHINEID@"), 11, root->Child("status")->Text("set-machine-id"));
        check.replace(check.find("@SCANID@"), 8, root->Child("status")->Text("scanid"));
        const auto frame = vnxml::PackFrame(check);
        auto res = client.Post(kPath, *frame, "text/xml-compressed");
        if (!res || res->status != 200) return false;
        const vnxml::UnpackedFrame body = vnxml::UnpackFrame(res->body);
        auto reply = body.ok() ? testxml::Parse(body.body) : nullptr;
        return reply && reply->All("update").size() == 5u;
    }

    std::unique_ptr<RunningService> running_;
    UpdateService* service_ = nullptr;
    int port_ = 0;
};

}  // namespace

TEST_F(HostileClientTest, SlowAndIdleClientsDoNotHoldUpOthers) {
    ConnectionLimits limits;
    limits.requestDeadline = 1500ms;
    limits.maxConnectionsPerAddress = 40;
    Start(limits);

    // One address holds idle connections and connections that send their
    // head a byte at a time, more than there are workers.
    std::vector<std::unique_ptr<Socket>> idle, slow;
    for (int i = 0; i < 30; ++i) idle.push_back(std::make_unique<Socket>(port_, "127.0.0.2"));
    for (int i = 0; i < 8; ++i) slow.push_back(std::make_unique<Socket>(port_, "127.0.0.2"));
    std::atomic<bool> done{false};
    std::thread trickle([&] {
        const std::string head = rawhttp::PostHead(port_, kPath, "Content-Length: 10\r\n");
        for (size_t at = 0; at < head.size() && !done; ++at) {
            for (auto& s : slow) s->Send(head.substr(at, 1));
            std::this_thread::sleep_for(100ms);
        }
    });

    // Past its bound, that address is refused at once.
    for (int i = 0; i < 5; ++i) idle.push_back(std::make_unique<Socket>(port_, "127.0.0.2"));
    EXPECT_EQ(StatusOf(idle.back()->Receive(1000ms)), 503);

    // Everyone else is served promptly meanwhile.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(OrdinaryCheck()) << i;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);

    // The slow and idle ones are cut off at their deadline.
    EXPECT_EQ(StatusOf(slow.front()->Receive(3000ms)), 408);
    EXPECT_EQ(StatusOf(idle.front()->Receive(1000ms)), 408);
    done = true;
    trickle.join();
}

TEST_F(HostileClientTest, SizeLimitsHoldForEveryFraming) {
    Start();
    const auto send = [&](const std::string& head, const std::string& body = {}) {
        Socket s(port_);
        s.Send(head);
        s.Send(body);
        return s.Receive(5000ms);
    };
    // A chunked body above the limit is refused once the limit is passed,
    // however much more the client would send.
    {
        Socket s(port_);
        s.Send(rawhttp::PostHead(port_, kPath, "Content-Type: text/xml\r\nTransfer-Encoding: chunked\r\n"));
        const std::string chunk = "100000\r\n" + std::string(0x100000, ' ') + "\r\n";
        for (int i = 0; i < 40 && s.Send(chunk); ++i) {
        }
        EXPECT_EQ(StatusOf(s.Receive(5000ms)), 413);
    }
    // A chunk that only announces a huge size is refused at its size line.
    EXPECT_EQ(StatusOf(send(rawhttp::PostHead(port_, kPath, "Transfer-Encoding: chunked\r\n"), "40000000\r\n")), 413);
    // A chunked document within the limit is read like any other.
    const std::string doc = Read("server/tests/data/prescan.xml");
    const std::string half = doc.substr(0, doc.size() / 2), rest = doc.substr(doc.size() / 2);
    char sizes[64];
    std::snprintf(sizes, sizeof sizes, "%zx", half.size());
    std::string chunked = std::string(sizes) + "\r\n" + half + "\r\n";
    std::snprintf(sizes, sizeof sizes, "%zx", rest.size());
    chunked += std::string(sizes) + ";ext=1\r\n" + rest + "\r\n0\r\n\r\n";
    EXPECT_EQ(StatusOf(send(rawhttp::PostHead(port_, kPath, "Content-Type: text/xml\r\nTransfer-Encoding: chunked\r\n"),
                            chunked)),
              200);

    // Heads: too many lines, or too long.
    std::string many;
    for (int i = 0; i < 1000; ++i) many += "X-Filler-" + std::to_string(i) + ": x\r\n";
    EXPECT_EQ(StatusOf(send(rawhttp::PostHead(port_, kPath, many))), 431);
    EXPECT_EQ(StatusOf(send(rawhttp::PostHead(port_, kPath, "X-Long: " + std::string(100000, 'a') + "\r\n"))), 431);
    // Framings that could be read two ways.
    EXPECT_EQ(StatusOf(send(rawhttp::PostHead(port_, kPath, "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n"),
                            "0\r\n\r\n")),
              400);
    EXPECT_EQ(StatusOf(send(rawhttp::PostHead(port_, kPath, "Content-Length: 5\r\nContent-Length: 6\r\n"), "12345")),
              400);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM machines"), 1);
}

TEST_F(HostileClientTest, AClientThatHalfClosesGetsItsReply) {
    Start();
    const std::string doc = Read("server/tests/data/prescan.xml");
    Socket s(port_);
    s.Send(rawhttp::PostHead(port_, kPath, "Content-Length: " + std::to_string(doc.size()) + "\r\n") + doc);
    s.HalfClose();
    const std::string reply = s.Receive(5000ms);
    EXPECT_EQ(StatusOf(reply), 200);
    auto root = testxml::Parse(rawhttp::BodyOf(reply));
    ASSERT_TRUE(root) << reply;
    EXPECT_EQ(root->Child("status")->Text("code"), "0");
}

TEST_F(HostileClientTest, WebPagesCannotPostToTheService) {
    Start({}, "http://updates.example:8080/");
    const std::string doc = Read("server/tests/data/prescan.xml");
    const auto post = [&](const std::string& headers) {
        Socket s(port_);
        s.Send("POST " + std::string(kPath) + " HTTP/1.1\r\n" + headers + "Content-Length: " +
               std::to_string(doc.size()) + "\r\n\r\n" + doc);
        return StatusOf(s.Receive(5000ms));
    };
    const std::string own = "Host: 127.0.0.1:" + std::to_string(port_) + "\r\n";
    // Simple requests a page may send without asking, and pages of other origins.
    EXPECT_EQ(post(own + "Content-Type: text/plain\r\n"), 415);
    EXPECT_EQ(post(own + "Content-Type: application/x-www-form-urlencoded\r\n"), 415);
    // (A form upload that is not one fails in the HTTP layer's form reader first.)
    EXPECT_EQ(post(own + "Content-Type: multipart/form-data; boundary=x\r\n"), 400);
    EXPECT_EQ(post(own + "Origin: http://evil.example\r\n"), 403);
    EXPECT_EQ(post(own + "Origin: null\r\n"), 403);
    // A name rebound to the loopback address, or none at all.
    EXPECT_EQ(post("Host: evil.example:" + std::to_string(port_) + "\r\n"), 421);
    EXPECT_EQ(post(""), 421);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM machines"), 0);

    // The agent's own requests, and the service's own pages.
    EXPECT_EQ(post(own), 200);
    EXPECT_EQ(post(own + "Content-Type: text/xml; charset=windows-1252\r\n"), 200);
    EXPECT_EQ(post("Host: LOCALHOST:" + std::to_string(port_) + "\r\nOrigin: http://localhost:" +
                   std::to_string(port_) + "\r\n"),
              200);
    EXPECT_EQ(post("Host: updates.example:8080\r\nOrigin: http://updates.example:8080\r\n"), 200);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM machines"), 4);
}

TEST_F(HostileClientTest, DocumentsBeyondWhatAgentsSendAreRefusedBeforeStoring) {
    Start();
    // One item with more elements than any agent writes.
    std::string item = "<item><Sequence>1</Sequence>";
    for (int i = 0; i < 200; ++i) item += "<F" + std::to_string(i) + "/>";
    item += "</item>";
    const std::string doc = "<meridox clientVersion=\"1.3.1.55\"><authentication><machineid/></authentication>"
                            "<software.scanned>" + item + "</software.scanned></meridox>";
    const auto frame = vnxml::PackFrame(doc);
    httplib::Client client("127.0.0.1", port_);
    auto res = client.Post(kPath, *frame, "text/xml-compressed");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);
    EXPECT_NE(res->body.find("too many elements in one item"), std::string::npos) << res->body;
    EXPECT_EQ(Count("SELECT COUNT(*) FROM machines"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM scan_item_fields"), 0);
}
