// Downloads from the service: agent releases and product installers under
// /downloads/, with their length, a byte range, a throttle that keeps a long
// transfer alive past the write deadline, and paths that must not escape.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "download_endpoint.h"
#include "running_service.h"

using namespace vnservice;

namespace {

class DownloadTest : public ::testing::Test {
protected:
    void Start(uint64_t throttle, std::chrono::milliseconds writeDeadline = std::chrono::milliseconds(10000)) {
        root_ = std::filesystem::temp_directory_path() / ("varnel-downloads-" + std::to_string(::getpid()));
        std::filesystem::create_directories(root_ / "agent");
        std::ofstream(root_ / "agent" / "VarnelSetup-1.3.2.12.msi", std::ios::binary) << payload_;
        std::ofstream(root_.parent_path() / "secret.txt") << "outside";
        ServiceOptions options = TestServiceOptions();
        options.downloadsFolder = root_.string();
        options.downloadBytesPerSecond = throttle;
        options.connections.writeDeadline = writeDeadline;
        running_ = std::make_unique<RunningService>(options);
        service_ = &running_->Service();
        ASSERT_TRUE(running_->Start());
        port_ = service_->Port();
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    }
    void TearDown() override {
        running_.reset();
        std::filesystem::remove_all(root_);
    }

    std::string payload_ = std::string(100000, 'x') + "end";
    std::filesystem::path root_;
    std::unique_ptr<RunningService> running_;
    UpdateService* service_ = nullptr;
    int port_ = 0;
    std::unique_ptr<httplib::Client> client_;
};

TEST_F(DownloadTest, ServesAReleaseWholeOrByRangeWithItsLength) {
    Start(0);
    auto whole = client_->Get("/downloads/agent/VarnelSetup-1.3.2.12.msi");
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->status, 200);
    EXPECT_EQ(whole->body, payload_);
    EXPECT_EQ(whole->get_header_value("Content-Length"), std::to_string(payload_.size()));
    EXPECT_EQ(whole->get_header_value("Content-Type"), "application/x-msi");

    auto part = client_->Get("/downloads/agent/VarnelSetup-1.3.2.12.msi", {{"Range", "bytes=99998-"}});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->status, 206);
    EXPECT_EQ(part->body, "xxend");
    EXPECT_EQ(part->get_header_value("Content-Range"), "bytes 99998-100002/100003");
}

TEST_F(DownloadTest, PathsThatLeaveTheFolderOrNameNoFileAre404) {
    Start(0);
    for (const char* path : {"/downloads/../secret.txt", "/downloads/agent/../../secret.txt", "/downloads/agent",
                             "/downloads/agent//VarnelSetup-1.3.2.12.msi", "/downloads/agent/missing.msi",
                             "/downloads/%2e%2e/secret.txt"}) {
        auto res = client_->Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 404) << path;
    }
    DownloadEndpoint none("", {});
    EXPECT_FALSE(none.FileFor("agent/VarnelSetup-1.3.2.12.msi"));
}

TEST_F(DownloadTest, AThrottledTransferOutlastsTheWriteDeadlineWhileItMoves) {
    // 100 KB at 200 KB/s takes half a second; each write has 200 ms.
    Start(200000, std::chrono::milliseconds(200));
    const auto started = std::chrono::steady_clock::now();
    auto res = client_->Get("/downloads/agent/VarnelSetup-1.3.2.12.msi");
    const auto took = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body, payload_);
    EXPECT_GE(took, std::chrono::milliseconds(400));
}

}  // namespace
