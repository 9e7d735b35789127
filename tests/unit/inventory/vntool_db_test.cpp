// vntool db: dump and make must reproduce every database file byte for byte,
// and damaged files or bad JSON must fail with one line on stderr.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

#include "inventory/database.h"
#include "inventory/list_base.h"
#include "inventory/ms_update_item.h"
#include "inventory_test_support.h"

#ifdef VNTOOL_PATH

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result Vntool(const std::string& args, const testsupport::TempDir& dir) {
    const std::string errFile = dir.File("stderr.txt");
    const std::string command = std::string(VNTOOL_PATH) + " " + args + " 2>" + errFile;
    Result r{-1, "", ""};
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) r.out.append(buf, n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = testsupport::ReadFile(errFile);
    return r;
}

}  // namespace

TEST(VntoolDb, DumpThenMakeReproducesEveryFileByteForByte) {
    testsupport::TempDir dir;
    VN_ListBase list;
    auto watch = testsupport::FullWatchItem();
    watch->progName = "Caf\xE9 \x80 \x81";  // Windows-1252 text, an undefined position included
    list.AddTail(std::move(watch));
    list.AddTail(nullptr);
    list.AddTail(testsupport::FullDriverItem());
    list.AddTail(testsupport::FullDailyItem());
    list.AddTail(testsupport::FullHistoryItem());
    list.AddTail(std::make_unique<MsUpdates::CMsItem>());
    list.SaveFile(dir.File("mixed.db"));
    // The outdated-product list is known by its name (in any case); --strings
    // reads any other file as a string list.
    ASSERT_TRUE(inventory::SaveStringListFile(dir.File("OutdatedProductList.DB"), {"Adobe Reader \xAE", ""}));
    ASSERT_TRUE(inventory::SaveStringListFile(dir.File("empty.db"), {}));

    for (const std::string name : {"mixed.db", "OutdatedProductList.DB", "empty.db"}) {
        const std::string flag = name == "empty.db" ? "--strings " : "";
        const Result dump = Vntool("db dump " + flag + dir.File(name) + " >" + dir.File("out.json"), dir);
        ASSERT_EQ(dump.status, 0) << dump.err;
        const Result make = Vntool("db make " + dir.File("out.json") + " " + dir.File("again.db"), dir);
        ASSERT_EQ(make.status, 0) << make.err;
        EXPECT_EQ(testsupport::ReadFile(dir.File("again.db")), testsupport::ReadFile(dir.File(name))) << name;
    }
    const Result shown = Vntool("db dump " + dir.File("mixed.db"), dir);
    EXPECT_NE(shown.out.find("\"progName\": \"Caf\xC3\xA9 \xE2\x82\xAC \xC2\x81\""), std::string::npos);
    EXPECT_NE(shown.out.find("\"class\": \"CHistoryItem\""), std::string::npos);
    EXPECT_NE(shown.out.find("  null,"), std::string::npos);
}

TEST(VntoolDb, HandWrittenJsonMakesALoadableFile) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("in.json"), R"([
        {"class": "VN_WatchItem", "progName": "Notepad++", "installedVers": "8.6.2", "comFromReg": true},
        {"class": "VN_DriverItem", "deviceDesc": "USB Root Hub", "hardwareIds": ["USB\\ROOT_HUB30"]}
    ])");
    const Result make = Vntool("db make " + dir.File("in.json") + " " + dir.File("varnel.db"), dir);
    ASSERT_EQ(make.status, 0) << make.err;
    VN_ListUpdatedBase list(dir.File("varnel.db"));
    ASSERT_TRUE(list.Load());
    ASSERT_EQ(list.GetCount(), 2u);
    const VN_WatchItem* w = list.GetItemAt<VN_WatchItem>(0);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->progName, "Notepad++");
    EXPECT_EQ(w->source, "registry");  // left out: the default
    EXPECT_TRUE(w->comFromReg);
    const VN_DriverItem* d = list.GetItemAt<VN_DriverItem>(1);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->expanded);
    EXPECT_EQ(d->hardwareIds, std::vector<std::string>{"USB\\ROOT_HUB30"});
}

TEST(VntoolDb, FailuresAreOneLineAndWriteNothing) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("cut.db"), std::string("\x01\x00\xFF\xFF\x01\x00\x0C\x00VN_Watch", 16));
    Result r = Vntool("db dump " + dir.File("cut.db"), dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("damaged or foreign file"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");

    const std::pair<const char*, const char*> bad[] = {
        {R"([{"class": "VN_WatchItem", "progname": "x"}])", "unknown field \"progname\""},
        {R"([{"class": "VN_Other"}])", "unknown class \"VN_Other\""},
        {R"([{"class": "VN_\nOther"}])", "unknown class \"VN_\\x0AOther\""},
        {R"([{"class": "CHistoryItem", "Retries": 4294967296}])", "\"Retries\" must be an integer in range"},
        {R"([{"class": "VN_DriverItem", "hardwareIds": [1]}])", "\"hardwareIds\" must hold only strings"},
        {R"([{"class": "VN_DailyItem", "links": [{"typ": "download"}]}])", "links[0]: unknown field \"typ\""},
        {R"({"class": "CMsItem"})", "must be an array"},
        {R"([{"class": )", "not valid JSON"},
    };
    for (const auto& [json, message] : bad) {
        testsupport::WriteFile(dir.File("bad.json"), json);
        r = Vntool("db make " + dir.File("bad.json") + " " + dir.File("never.db"), dir);
        EXPECT_EQ(r.status, 1) << json;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("never.db")));
    EXPECT_EQ(Vntool("db dump", dir).status, 2);
}

#endif  // VNTOOL_PATH
