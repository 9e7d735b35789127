// One suite for the catalogue document readers over both SAX readers:
// compiled into the host tests (expat) and into the Windows tests (MSXML
// under Wine), so that search results and the today's-updates feed read alike.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "common/temp_folder.h"
#include "inventory/daily_item.h"
#include "inventory/list_base.h"
#include "inventory/search_item.h"
#include "service/catalog_parser.h"

namespace catalogsuite {

using platform::SaxResult;

const char kSearchDocument[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<results>\n"
    " <link type=\"download\"><ID>999</ID></link>\n"
    " <PRODUCT>\n"
    "  <productID>101</productID><versionID>7</versionID>\n"
    "  <contentID db=\"soft\">c-1</contentID>\n"
    "  <Name>Tree &amp; Leaf Editor</Name><version>2.1</version><licenseType>Free</licenseType>\n"
    "  <rating disposition=\"product\">4.5</rating><clickCount disposition=\"version\">12</clickCount>\n"
    "  <unknownThing>x</unknownThing>\n"
    "  <link type=\"download\"><ID>55</ID><url>http://x/a.exe</url><size>1.2 MB</size><name>ignored</name></link>\n"
    "  <link type=\"homepage\"><url>http://x/</url></link>\n"
    " </PRODUCT>\n"
    " <product><productID>102</productID><name>Second</name>"
    "<rating disposition=\"other\">3</rating><clickCount disposition=\"product\">40</clickCount></product>\n"
    "</results>\n";

TEST(CatalogSearchParser, ReadsProductsWithTheirLinksAndOnlyProductRatings) {
    VN_ListBase results;
    std::ostringstream trace;
    vnxml::CXMLSearchParser parser(results);
    ASSERT_EQ(parser.ParseBuffer(kSearchDocument, sizeof kSearchDocument - 1, &trace), SaxResult::Complete);

    ASSERT_EQ(results.GetCount(), 2u);
    const vnxml::CXMLSearchItem& first = *results.GetItemAt<VN_SearchItem>(0)->catalogItem;
    EXPECT_EQ(first.productID, "101");
    EXPECT_EQ(first.versionID, "7");
    EXPECT_EQ(first.contentID, "c-1");
    EXPECT_EQ(first.contentDb, "soft");
    EXPECT_EQ(first.name, "Tree & Leaf Editor");
    EXPECT_EQ(first.licenseType, "Free");
    EXPECT_EQ(first.rating, "4.5");
    EXPECT_EQ(first.clickCount, "");  // disposition "version"
    // The link before any product is dropped; a link's unknown child is ignored.
    ASSERT_EQ(first.links.size(), 2u);
    EXPECT_EQ(first.links[0].type, "download");
    EXPECT_EQ(first.links[0].ID, "55");
    EXPECT_EQ(first.links[0].url, "http://x/a.exe");
    EXPECT_EQ(first.links[1].type, "homepage");
    EXPECT_EQ(first.name.find("ignored"), std::string::npos);

    const vnxml::CXMLSearchItem& second = *results.GetItemAt<VN_SearchItem>(1)->catalogItem;
    EXPECT_EQ(second.rating, "");
    EXPECT_EQ(second.clickCount, "40");
    EXPECT_TRUE(second.links.empty());
    EXPECT_NE(trace.str().find("<productID>101</productID>"), std::string::npos);
}

// A link opened inside an element of another link replaces that link: the
// text of the element still open is dropped with it, never stored into the
// link that is gone.
TEST(CatalogSearchParser, ALinkOpenedInsideALinksElementReplacesThatLink) {
    const std::string document =
        "<results><product><productID>1</productID>"
        "<link type=\"download\"><size>1 <link type=\"homepage\"><url>http://x/</url></link> MB</size>"
        "<ID>5</ID></link></product></results>";
    VN_ListBase results;
    vnxml::CXMLSearchParser parser(results);
    ASSERT_EQ(parser.ParseBuffer(document.data(), document.size(), nullptr), SaxResult::Complete);
    ASSERT_EQ(results.GetCount(), 1u);
    const vnxml::CXMLSearchItem& item = *results.GetItemAt<VN_SearchItem>(0)->catalogItem;
    EXPECT_EQ(item.productID, "1");
    ASSERT_EQ(item.links.size(), 1u);
    EXPECT_EQ(item.links[0].type, "homepage");
    EXPECT_EQ(item.links[0].url, "http://x/");
    EXPECT_EQ(item.links[0].size, "");
}

std::string Day(int day, int updates) {
    std::string out = "<day date=\"2024-05-0" + std::to_string(day) + "\">";
    for (int u = 1; u <= updates; ++u) {
        const std::string id = std::to_string(day * 10 + u);
        out += "<update postingTime=\"0" + std::to_string(day) + ":00\" globalEditorPick=\"" +
               (u == 1 ? "true" : "false") + "\"><productID>" + id + "</productID><name>App " + id +
               "</name><productDownloads>" + id + "00</productDownloads>" + "<link type=\"download\"><ID>" + id +
               "</ID><size>" + id + " KB</size></link></update>";
    }
    return out + "</day>";
}

TEST(CatalogDailyParser, StopsAfterTheThirdDayAndCountsThatAsTheEnd) {
    const std::string feed =
        "<?xml version=\"1.0\"?><recent>" + Day(1, 2) + Day(2, 1) + Day(3, 1) + Day(4, 2) + "</recent>";
    VN_ListBase list;
    vnxml::CXMLDailyParser parser(list);
    const SaxResult result = parser.ParseBuffer(feed.data(), feed.size());
    EXPECT_EQ(result, SaxResult::Stopped);
    EXPECT_TRUE(parser.ReadToEnd(result));
    ASSERT_EQ(list.GetCount(), 4u);
    const VN_DailyItem* first = list.GetItemAt<VN_DailyItem>(0);
    EXPECT_EQ(first->catalogItem->postingTime, "01:00");
    EXPECT_EQ(first->catalogItem->globalEditorPick, "true");
    EXPECT_EQ(first->catalogItem->productDownloads, "1100");
    EXPECT_EQ(first->GetDownloadUrl(), "/product/redir?lid=11&mgc=si");
    EXPECT_TRUE(first->IsDirectDownload());
    EXPECT_EQ(list.GetItemAt<VN_DailyItem>(3)->GetProductId(), "31");
}

TEST(CatalogDailyParser, ABrokenFeedKeepsWhatWasReadButIsNotReadToTheEnd) {
    const std::string feed = "<recent>" + Day(1, 2) + "<day><update><name>half</name></upd";
    VN_ListBase list;
    vnxml::CXMLDailyParser parser(list);
    const SaxResult result = parser.ParseBuffer(feed.data(), feed.size());
    EXPECT_EQ(result, SaxResult::Malformed);
    EXPECT_FALSE(parser.ReadToEnd(result));
    EXPECT_EQ(list.GetCount(), 2u);

    // A feed of fewer than three days ends with the document.
    const std::string shortFeed = "<recent>" + Day(1, 1) + "</recent>";
    VN_ListBase shortList;
    vnxml::CXMLDailyParser shortParser(shortList);
    EXPECT_TRUE(shortParser.ReadToEnd(shortParser.ParseBuffer(shortFeed.data(), shortFeed.size())));
}

TEST(CatalogDailyParser, AnAbortRequestStopsTheParseShortOfTheEnd) {
    const std::string feed = "<recent>" + Day(1, 2) + "</recent>";
    VN_ListBase list;
    list.SetAbort(true);
    vnxml::CXMLDailyParser parser(list);
    parser.SetStopList(&list);
    const SaxResult result = parser.ParseBuffer(feed.data(), feed.size());
    EXPECT_FALSE(parser.ReadToEnd(result));
    EXPECT_EQ(list.GetCount(), 0u);
}

TEST(CatalogDailyParser, ReadsAFileAndTheListStoresIt) {
    testing_support::TempFolder folder("catalog-suite");
    const std::string feed = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><recent>" + Day(1, 1) + "</recent>";
    const std::string path = folder.Write("recent.xml", feed);
    VN_ListBase list(folder.Path("dailyupdates.db"));
    vnxml::CXMLDailyParser parser(list);
    ASSERT_EQ(parser.ParseFile(path), SaxResult::Complete);
    ASSERT_TRUE(list.Save());

    VN_ListBase loaded(folder.Path("dailyupdates.db"));
    ASSERT_TRUE(loaded.Load());
    ASSERT_EQ(loaded.GetCount(), 1u);
    const VN_DailyItem* item = loaded.GetItemAt<VN_DailyItem>(0);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->catalogItem->name, "App 11");
    ASSERT_EQ(item->catalogItem->links.size(), 1u);
    EXPECT_EQ(item->GetDownloadUrl(), "/product/redir?lid=11&mgc=si");
}

}  // namespace catalogsuite
