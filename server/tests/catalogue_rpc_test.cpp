// The catalogue endpoint over HTTP: the agent's own XML-RPC client and
// document readers against the service's search, product pages, reports,
// today's-updates feed and download redirect, and XML-RPC bodies that are
// not calls.
#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

#include "catalogue_endpoint.h"
#include "inventory/daily_item.h"
#include "inventory/list_base.h"
#include "inventory/search_item.h"
#include "running_service.h"
#include "service/catalog_client.h"
#include "service/catalog_parser.h"

using namespace vnservice;

namespace {

class CatalogueRpcTest : public ::testing::Test {
protected:
    void SetUp() override {
        ServiceOptions options = TestServiceOptions();
        options.quiet = true;
        running_ = std::make_unique<RunningService>(options);
        service_ = &running_->Service();
        ASSERT_TRUE(running_->Start());
        port_ = service_->Port();
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
        endpoint_ = {"127.0.0.1", port_};
    }
    // The fault code of a raw call's answer, or -1 when it is no fault.
    int RawFault(const std::string& body, const char* type = "text/xml") {
        auto res = client_->Post(kRpcPath, body, type);
        if (!res || res->status != 200) return -1;
        const std::string marker = "<name>faultCode</name><value><int>";
        const size_t at = res->body.find(marker);
        return at == std::string::npos ? -1 : std::atoi(res->body.c_str() + at + marker.size());
    }

    std::unique_ptr<RunningService> running_;
    UpdateService* service_ = nullptr;
    int port_ = 0;
    std::unique_ptr<httplib::Client> client_;
    catalog::Endpoint endpoint_;
};

TEST_F(CatalogueRpcTest, SearchAnswersTheResultDocumentTheAgentReads) {
    XmlRpc::XmlRpcValue reply;
    ASSERT_TRUE(catalog::Call(endpoint_, catalog::kSearchMethod, catalog::SearchParams("FIRE mozilla"), reply));
    std::string document;
    ASSERT_TRUE(catalog::ResultDocument(reply, document));
    VN_ListBase results;
    vnxml::CXMLSearchParser parser(results);
    ASSERT_EQ(parser.ParseBuffer(document.data(), document.size()), platform::SaxResult::Complete);
    ASSERT_EQ(results.GetCount(), 1u);
    const VN_SearchItem* item = results.GetItemAt<VN_SearchItem>(0);
    EXPECT_EQ(item->GetProductId(), "101");
    EXPECT_EQ(item->catalogItem->name, "Mozilla Firefox");
    EXPECT_EQ(item->GetDownloadUrl(), "/product/redir?lid=101&mgc=si");

    // No match: a document without products. A LIKE wildcard matches only itself.
    ASSERT_TRUE(catalog::Call(endpoint_, catalog::kSearchMethod, catalog::SearchParams("%"), reply));
    ASSERT_TRUE(catalog::ResultDocument(reply, document));
    EXPECT_EQ(document.find("<product>"), std::string::npos);
}

TEST_F(CatalogueRpcTest, PopulateAnswersAProductDocumentOrAFault) {
    XmlRpc::XmlRpcValue reply;
    ASSERT_TRUE(catalog::Call(endpoint_, catalog::kPopulateMethod, catalog::PopulateParams("107"), reply));
    std::string document;
    ASSERT_TRUE(catalog::ResultDocument(reply, document));
    EXPECT_NE(document.find("<name>7-Zip</name>"), std::string::npos);
    EXPECT_NE(document.find("<publisher>Igor Pavlov</publisher>"), std::string::npos);
    EXPECT_NE(document.find("<link type=\"download\">"), std::string::npos);

    EXPECT_FALSE(catalog::Call(endpoint_, catalog::kPopulateMethod, catalog::PopulateParams("999999"), reply));
    EXPECT_FALSE(catalog::Call(endpoint_, catalog::kPopulateMethod, catalog::PopulateParams("1 OR 1"), reply));
}

TEST_F(CatalogueRpcTest, SubmitStoresTheReport) {
    XmlRpc::XmlRpcValue members;
    members["machineID"] = "M-1";
    members["programName"] = "Tool &amp; Co";
    members["reason"] = "Other";
    members["comments"] = "wrong &lt;version&gt;";
    members["versions"]["InstalledVers"] = "1.0";
    members["HwIds"][0] = "PCI\\VEN_1";
    XmlRpc::XmlRpcValue reply;
    ASSERT_TRUE(catalog::Call(endpoint_, catalog::kSubmitMethod, catalog::SubmitParams(members), reply));

    auto lock = service_->Store().Lock();
    Statement st =
        service_->Store().Db().Prepare("SELECT machine_id, program_name, reason, comments, members FROM item_reports");
    ASSERT_TRUE(st.Step());
    EXPECT_EQ(st.Text(0), "M-1");
    EXPECT_EQ(st.Text(1), "Tool &amp; Co");  // the agent escapes; the service keeps what it got
    EXPECT_EQ(st.Text(2), "Other");
    EXPECT_EQ(st.Text(3), "wrong &lt;version&gt;");
    EXPECT_NE(st.Text(4).find("versions.InstalledVers=1.0\n"), std::string::npos);
    EXPECT_NE(st.Text(4).find("HwIds[0]=PCI\\VEN_1\n"), std::string::npos);
    EXPECT_FALSE(st.Step());
}

TEST_F(CatalogueRpcTest, BodiesThatAreNotCallsGetFaults) {
    const std::string head = "<?xml version=\"1.0\"?><methodCall><methodName>FilterService.search</methodName>";
    std::string deep = head + "<params><param>";
    for (int i = 0; i < 40; ++i) deep += "<value><array><data>";
    EXPECT_EQ(RawFault("not xml at all"), kFaultMalformed);
    EXPECT_EQ(RawFault("<?xml version=\"1.0\"?><!DOCTYPE m [<!ENTITY a \"aaaa\">]><methodCall/>"), kFaultMalformed);
    EXPECT_EQ(RawFault(deep), kFaultMalformed);
    EXPECT_EQ(RawFault(head + "<params><param><value><base64>AA==</base64></value></param></params></methodCall>"),
              kFaultMalformed);
    EXPECT_EQ(RawFault(head + "<params><param><value><int>99999999999</int></value></param></params></methodCall>"),
              kFaultMalformed);
    EXPECT_EQ(RawFault(head + "<params><param><value><struct><member><value>x</value><name>n</name></member>"
                              "</struct></value></param></params></methodCall>"),
              kFaultMalformed);
    EXPECT_EQ(RawFault(head + "<value>loose</value></methodCall>"), kFaultMalformed);
    EXPECT_EQ(RawFault("<methodCall><methodName>System.shutdown</methodName></methodCall>"), kFaultNoMethod);
    EXPECT_EQ(RawFault(head + "<params><param><value><string>x</string></value></param></params></methodCall>"),
              kFaultBadParams);
    // Only XML types: a form or plain text from a web page is refused before it is read.
    auto res = client_->Post(kRpcPath, head + "</methodCall>", "text/plain");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 415);
}

TEST_F(CatalogueRpcTest, TheFeedListsTheLatestReleaseDaysAndTheRedirectLeadsToTheFile) {
    auto res = client_->Get(kRecentPath);
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    VN_ListBase list;
    vnxml::CXMLDailyParser parser(list);
    EXPECT_TRUE(parser.ReadToEnd(parser.ParseBuffer(res->body.data(), res->body.size())));
    ASSERT_GT(list.GetCount(), 0u);
    // Newest first: the seed's latest release is Microsoft Edge, 2024-06-27.
    const VN_DailyItem* first = list.GetItemAt<VN_DailyItem>(0);
    EXPECT_EQ(first->catalogItem->releaseDate, "2024-06-27");
    EXPECT_EQ(first->catalogItem->postingTime, "2024-06-27");

    res = client_->Get("/product/redir?lid=107&mgc=si");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 302);
    EXPECT_EQ(res->get_header_value("Location"), "https://www.7-zip.org/a/7z2407-x64.exe");
    res = client_->Get("/product/redir?lid=abc");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
}

}  // namespace
