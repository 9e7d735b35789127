#include "viewmodel/download_action.h"

#include <gtest/gtest.h>

#include "inventory/daily_item.h"
#include "inventory/watch_item.h"

namespace {

using viewmodel::ViewKind;

std::unique_ptr<vnxml::CXMLDailyItem> Catalogue(const std::string& linkId, const std::string& size) {
    auto c = std::make_unique<vnxml::CXMLDailyItem>();
    c->name = "7-Zip";
    c->links.push_back({"info", "7", "https://www.7-zip.org/", "Home page", "", "12"});
    c->links.push_back({"download", linkId, "https://www.7-zip.org/a/7z.exe", "Installer", "7z.exe", size});
    return c;
}

TEST(DownloadAction, DirectFilesGoToTheDownloadManagerOthersToTheProductPage) {
    VN_WatchItem item;
    item.SetProgName("Zip Tool");
    item.productUrl = "http://service/product/7";
    item.directDlUrl = "http://service/downloads/zt.exe";
    // Not marked as a file: the product page.
    viewmodel::DownloadChoice choice = viewmodel::ChooseDownload(item, "http://catalog");
    EXPECT_EQ(choice.address, "");
    EXPECT_EQ(choice.page, "http://service/product/7");
    EXPECT_TRUE(viewmodel::DownloadEnabled(ViewKind::Software, &item));
    item.directDlIsFile = true;
    choice = viewmodel::ChooseDownload(item, "http://catalog");
    EXPECT_EQ(choice.name, "Zip Tool");
    EXPECT_EQ(choice.address, "http://service/downloads/zt.exe");
    // Only web addresses are fetched: anything else falls back to the page.
    item.directDlUrl = "file:///C:/Windows/win.ini";
    EXPECT_FALSE(viewmodel::HasDirectDownload(item));
    EXPECT_EQ(viewmodel::ChooseDownload(item, "").page, "http://service/product/7");
    item.productUrl.clear();
    EXPECT_FALSE(viewmodel::DownloadEnabled(ViewKind::Software, &item));
    EXPECT_FALSE(viewmodel::DownloadEnabled(ViewKind::Software, nullptr));

    // Today's updates: the download link's redirect behind the catalogue,
    // only when its size begins with a digit and it has an ID.
    VN_DailyItem daily(Catalogue("88121", "1.6 MB"));
    choice = viewmodel::ChooseDownload(daily, viewmodel::CatalogueBase("127.0.0.1", 8080));
    EXPECT_EQ(choice.name, "7-Zip");
    EXPECT_EQ(choice.address, "http://127.0.0.1:8080/product/redir?lid=88121&mgc=si");
    EXPECT_TRUE(viewmodel::DownloadEnabled(ViewKind::Daily, &daily));
    EXPECT_FALSE(viewmodel::DownloadEnabled(ViewKind::History, &daily));
    EXPECT_EQ(viewmodel::CatalogueBase("catalog.example", 80), "http://catalog.example");
    VN_DailyItem sizeInWords(Catalogue("88121", "about 2 MB"));
    EXPECT_FALSE(viewmodel::DownloadEnabled(ViewKind::Daily, &sizeInWords));
    VN_DailyItem noId(Catalogue("", "1.6 MB"));
    EXPECT_FALSE(viewmodel::DownloadEnabled(ViewKind::Daily, &noId));
    EXPECT_EQ(viewmodel::ChooseDownload(noId, "http://catalog").address, "");
}

}  // namespace
