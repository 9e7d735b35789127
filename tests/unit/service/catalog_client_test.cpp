// The catalogue calls' parameter structures and endpoint settings (the calls
// themselves run against the reference service in its own tests).
#include <gtest/gtest.h>

#include "common/scoped_hook.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "service/catalog_client.h"

namespace {

using XmlRpc::XmlRpcValue;

TEST(CatalogClient, ParametersHaveTheStructureAndTypesTheServiceExpects) {
    XmlRpcValue search = catalog::SearchParams("photo editor");
    EXPECT_EQ(static_cast<std::string&>(search["filters"]["keywords"]), "photo editor");
    ASSERT_EQ(search["filters"]["platforms"].getType(), XmlRpcValue::TypeArray);
    ASSERT_EQ(search["filters"]["platforms"].size(), 1);
    EXPECT_EQ(static_cast<std::string&>(search["filters"]["platforms"][0]), "Windows");
    // Strings, not booleans.
    EXPECT_EQ(static_cast<std::string&>(search["custom"]["includeDownloadLink"]), "YES");
    EXPECT_EQ(static_cast<std::string&>(search["custom"]["includeProductPageLink"]), "YES");

    XmlRpcValue populate = catalog::PopulateParams("107");
    EXPECT_EQ(static_cast<std::string&>(populate["ID"]), "107");
    EXPECT_EQ(populate["populateLinks"].getType(), XmlRpcValue::TypeBoolean);
    EXPECT_TRUE(static_cast<bool&>(populate["populateLinks"]));
    EXPECT_EQ(static_cast<std::string&>(populate["xmlDocFormat"]), "flat");

    XmlRpcValue members;
    members["reason"] = "Other";
    XmlRpcValue submit = catalog::SubmitParams(members);
    ASSERT_EQ(submit.size(), 2);
    EXPECT_EQ(static_cast<std::string&>(submit[0]), "SubmittedProductInfo");
    EXPECT_EQ(static_cast<std::string&>(submit[1]["reason"]), "Other");
}

TEST(CatalogClient, ResultDocumentIsElementOneWhenItIsAString) {
    XmlRpcValue reply;
    std::string document;
    EXPECT_FALSE(catalog::ResultDocument(reply, document));
    reply[0] = 1;
    EXPECT_FALSE(catalog::ResultDocument(reply, document));
    reply[1] = 5;
    EXPECT_FALSE(catalog::ResultDocument(reply, document));
    reply[1] = "<results/>";
    ASSERT_TRUE(catalog::ResultDocument(reply, document));
    EXPECT_EQ(document, "<results/>");
}

TEST(CatalogClient, EndpointAndFeedComeFromSettingsWithDefaults) {
    testing_support::ScopedHook<platform::InstallSettingsStore> settings{platform::MakeMemorySettingsStore()};
    catalog::Endpoint endpoint = catalog::CatalogueEndpoint();
    EXPECT_EQ(endpoint.host, setting::kCatalogueHostDefault);
    EXPECT_EQ(endpoint.port, 80);
    EXPECT_EQ(catalog::DailyUpdatesUrl(), setting::kDailyUpdatesUrlDefault);

    platform::AppSettings().WriteText(setting::kCatalogueHost, "127.0.0.1");
    platform::AppSettings().WriteNumber(setting::kCataloguePort, 8123);
    platform::AppSettings().WriteText(setting::kDailyUpdatesUrl, "http://127.0.0.1:8123/varnel/recent.php");
    endpoint = catalog::CatalogueEndpoint();
    EXPECT_EQ(endpoint.host, "127.0.0.1");
    EXPECT_EQ(endpoint.port, 8123);
    EXPECT_EQ(catalog::DailyUpdatesUrl(), "http://127.0.0.1:8123/varnel/recent.php");
    // A port out of range falls back to the default.
    platform::AppSettings().WriteNumber(setting::kCataloguePort, 70000);
    EXPECT_EQ(catalog::CatalogueEndpoint().port, 80);
}

}  // namespace
