// One suite for the reply parser over both SAX readers: compiled into the
// host tests (expat) and into the Windows tests (MSXML under Wine), so that
// the service's replies change the lists alike on both. Linked into each.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "inventory/driver_data.h"
#include "inventory/watch_item.h"
#include "service/reply_parser.h"

namespace replysuite {

// Records what the parser hands to the watch list.
struct RecordingLink : vnxml::IWatchListLink {
    int flagResets = 0;
    std::vector<vnxml::CXMLSubscriptionNote> notes;
    void SetScanTime(int64_t) override {}
    void ItemFlagsReset() override { ++flagResets; }
    void KeepSubscriptionNote(const vnxml::CXMLSubscriptionNote& note) override { notes.push_back(note); }
};

// A watch list and a driver list with items numbered 7001... and 8001...
// (numbers far above what the process counter reaches in these tests).
class ReplyTest : public ::testing::Test {
protected:
    VN_WatchItem* AddProgram(int32_t sequence, const std::string& name, const std::string& current = "") {
        auto item = std::make_unique<VN_WatchItem>();
        item->sequence = sequence;
        item->progName = name;
        item->currentVers = current;
        VN_WatchItem* raw = item.get();
        watch_.AddTail(std::move(item));
        return raw;
    }
    VN_DriverItem* AddDriver(int32_t sequence, const std::string& desc) {
        auto item = std::make_unique<VN_DriverItem>();
        item->sequence = sequence;
        item->deviceDesc = desc;
        VN_DriverItem* raw = item.get();
        drivers_.AddTail(std::move(item));
        return raw;
    }

    vnxml::CXMLBuffer& Buffer() {
        if (!buffer_) buffer_ = std::make_unique<vnxml::CXMLBuffer>(&watch_, &drivers_, vnxml::kCheckRequest);
        return *buffer_;
    }

    platform::SaxResult Parse(const std::string& reply, std::ostream* trace = nullptr) {
        vnxml::CXMLSwParser parser(Buffer());
        return parser.ParseBuffer(reply.data(), reply.size(), trace);
    }

    // An update record with the children given as "<Name>text</Name>..." markup.
    static std::string Update(const std::string& sequence, const std::string& children,
                              const std::string& attributes = "") {
        return "<update" + attributes + "><Sequence>" + sequence + "</Sequence>" + children + "</update>";
    }
    static std::string Reply(const std::string& body) {
        return "<?xml version=\"1.0\"?>\n<meridox revision=\"0\"><status><code>0</code></status>" + body +
               "</meridox>";
    }

    VN_ListBase watch_;
    Views::CDriverData drivers_;
    std::unique_ptr<vnxml::CXMLBuffer> buffer_;
};

TEST_F(ReplyTest, RecordChangesOnlyTheItemWithItsSequenceNumber) {
    VN_WatchItem* first = AddProgram(7001, "Mozilla Firefox");
    VN_WatchItem* second = AddProgram(7002, "7-Zip");
    VN_DriverItem* driver = AddDriver(8001, "Ethernet");
    const std::string fields =
        "<ProgName>  7-Zip  </ProgName><CurrentVers>24.07</CurrentVers><CurrentDate>2024-06-19</CurrentDate>"
        "<Outdated>false</Outdated><URL>https://www.7-zip.org/</URL><MyVersion>23.01</MyVersion>"
        "<ID type=\"fingerPrint\">fp-107</ID><AdditionalInfo>Bug fixes</AdditionalInfo>"
        "<DirectDLIsFile>true</DirectDLIsFile><DirectDLUrl>https://www.7-zip.org/a/7z2407-x64.exe</DirectDLUrl>"
        "<productID>107</productID><MatchedPvId>107:23.1</MatchedPvId>";
    EXPECT_EQ(Parse(Reply(Update("7002", fields) + Update("9999", "<ProgName>Nobody</ProgName>") +
                          Update("07001", "<ProgName>Leading zero</ProgName>") +
                          Update(" 7001", "<ProgName>Leading blank</ProgName>"))),
              platform::SaxResult::Complete);

    EXPECT_EQ(second->progName, "7-Zip");
    EXPECT_EQ(second->currentVers, "24.07");
    EXPECT_TRUE(second->groupHasCurrent);
    EXPECT_EQ(second->currentDate, "2024-06-19");
    EXPECT_EQ(second->productUrl, "https://www.7-zip.org/");
    EXPECT_EQ(second->myVersion, "23.01");
    EXPECT_EQ(second->serverId, "fp-107");
    EXPECT_EQ(second->additionalInfo, "Bug fixes");
    EXPECT_TRUE(second->directDlIsFile);
    EXPECT_EQ(second->directDlUrl, "https://www.7-zip.org/a/7z2407-x64.exe");
    EXPECT_EQ(second->productId, "107");
    EXPECT_EQ(second->matchedPvId, "107:23.1");
    EXPECT_FALSE(second->outdated);

    EXPECT_EQ(first->progName, "Mozilla Firefox");
    EXPECT_TRUE(first->currentVers.empty());
    EXPECT_TRUE(driver->currentVers.empty());
    EXPECT_TRUE(Buffer().changedFlag);
    EXPECT_FALSE(Buffer().notifyFlag);
    EXPECT_TRUE(Buffer().status.IsSuccess());
}

TEST_F(ReplyTest, OutOfDateRulesForChangedUnchangedSkippedAndCapitalisedRecords) {
    VN_WatchItem* same = AddProgram(7011, "Same", "2.0");
    VN_WatchItem* newer = AddProgram(7012, "Newer", "1.0");
    newer->skipped = true;
    VN_WatchItem* capitals = AddProgram(7013, "Capitals", "1.0");
    VN_WatchItem* skippedSame = AddProgram(7014, "Skipped", "3.0");
    skippedSame->skipped = true;

    // Unchanged name and version, out of date: marked, notifies, but not new.
    Parse(Reply(Update("7011", "<ProgName>Same</ProgName><CurrentVers>2.0</CurrentVers><Outdated>true</Outdated>")));
    EXPECT_TRUE(same->outdated);
    EXPECT_TRUE(same->updateAvailable);
    EXPECT_TRUE(Buffer().notifyFlag);
    EXPECT_FALSE(Buffer().changedFlag);
    EXPECT_FALSE(Buffer().watchListNewOutOfDate);

    // A new current version releases a skip and is a new update.
    buffer_.reset();
    Parse(Reply(Update("7012", "<ProgName>Newer</ProgName><CurrentVers>1.1</CurrentVers><Outdated>true</Outdated>")));
    EXPECT_FALSE(newer->skipped);
    EXPECT_TRUE(newer->outdated);
    EXPECT_TRUE(Buffer().changedFlag);
    EXPECT_TRUE(Buffer().notifyFlag);
    EXPECT_TRUE(Buffer().watchListNewOutOfDate);
    EXPECT_FALSE(Buffer().driverListNewOutOfDate);

    // "TRUE" marks the item out of date but is not a new update.
    buffer_.reset();
    Parse(Reply(Update("7013", "<ProgName>Capitals</ProgName><CurrentVers>1.5</CurrentVers><Outdated>TRUE</Outdated>")));
    EXPECT_TRUE(capitals->outdated);
    EXPECT_TRUE(capitals->updateAvailable);
    EXPECT_TRUE(Buffer().changedFlag);
    EXPECT_FALSE(Buffer().watchListNewOutOfDate);

    // The user skipped this version: marked, but nobody is told; also when
    // the service names the product otherwise than the scan did.
    for (const char* name : {"Skipped", "Skipped Suite"}) {
        buffer_.reset();
        skippedSame->progName = "Skipped";
        Parse(Reply(Update("7014", std::string("<ProgName>") + name +
                                       "</ProgName><CurrentVers>3.0</CurrentVers><Outdated>true</Outdated>")));
        EXPECT_TRUE(skippedSame->skipped) << name;
        EXPECT_TRUE(skippedSame->outdated) << name;
        EXPECT_FALSE(Buffer().notifyFlag) << name;
    }

    // No longer out of date: cleared, and that is news too.
    buffer_.reset();
    Parse(Reply(Update("7011", "<ProgName>Same</ProgName><CurrentVers>2.0</CurrentVers><Outdated>false</Outdated>")));
    EXPECT_FALSE(same->outdated);
    EXPECT_TRUE(same->updateAvailable);  // only a new check clears it
    EXPECT_TRUE(Buffer().notifyFlag);
}

TEST_F(ReplyTest, CheckReplyClearsWatchListFlagsButDriversKeepTheirs) {
    VN_WatchItem* program = AddProgram(7021, "Program", "1.0");
    program->outdated = program->updateAvailable = true;
    VN_DriverItem* driver = AddDriver(8021, "Video");
    driver->currentVers = "1.0";
    driver->outdated = true;

    Buffer().PrepareForReply();
    EXPECT_FALSE(program->outdated);
    EXPECT_FALSE(program->updateAvailable);
    EXPECT_TRUE(driver->outdated);

    // The driver is no longer reported out of date: that changes what the user sees.
    Parse(Reply(Update("8021", "<CurrentVers>1.0</CurrentVers><Outdated>false</Outdated>")));
    EXPECT_FALSE(driver->outdated);
    EXPECT_TRUE(Buffer().notifyFlag);

    // A watch list that has its own reset is asked to do it instead.
    RecordingLink link;
    vnxml::CXMLBuffer linked(&watch_, &drivers_, vnxml::kCheckRequest);
    linked.watchListLink = &link;
    program->outdated = true;
    linked.PrepareForReply();
    EXPECT_EQ(link.flagResets, 1);
    EXPECT_TRUE(program->outdated);
    vnxml::CXMLBuffer preScan(&watch_, &drivers_, vnxml::kPreScanRequest);
    preScan.PrepareForReply();
    EXPECT_TRUE(program->outdated);
}

TEST_F(ReplyTest, OnlyAFingerprintIdIsTakenSoAnyOtherClearsTheKnownOne) {
    VN_WatchItem* plain = AddProgram(7031, "Plain");
    plain->serverId = "old";
    VN_WatchItem* other = AddProgram(7032, "Other type");
    other->serverId = "old";
    VN_WatchItem* capitals = AddProgram(7033, "Capitals");
    Parse(Reply(Update("7031", "<ProgName>Plain</ProgName><ID>12</ID>") +
                Update("7032", "<ProgName>Other type</ProgName><ID type=\"product\">13</ID>") +
                Update("7033", "<ProgName>Capitals</ProgName><ID TYPE=\"FINGERPRINT\">fp-14</ID>")));
    EXPECT_EQ(plain->serverId, "");
    EXPECT_EQ(other->serverId, "");
    EXPECT_EQ(capitals->serverId, "fp-14");
}

TEST_F(ReplyTest, IconRequestAndDirectDownloadFlagsAreOnlyEverSet) {
    VN_WatchItem* item = AddProgram(7041, "Icons");
    item->directDlIsFile = true;
    Parse(Reply(Update("7041", "<ProgName>Icons</ProgName><DirectDLIsFile>false</DirectDLIsFile>",
                       " serverNeedsIcon=\"TRUE\"")));
    EXPECT_TRUE(item->serverNeedsIcon);
    EXPECT_TRUE(item->directDlIsFile);
}

TEST_F(ReplyTest, StatusBlockIsCopiedWithItsAttributes) {
    const std::string reply =
        "<?xml version=\"1.0\"?><meridox><status>"
        "<code>0</code><set-machine-id>M-1</set-machine-id><scanid>S-9</scanid>"
        "<message>First part. </message><message>Second part.</message>"
        "<homepage>https://h/</homepage><progresspage>https://p/</progresspage><helpage>https://help/</helpage>"
        "<clientupdate version=\"1.3.2.12\">https://dl/VarnelSetup.msi</clientupdate>"
        "<login-error></login-error><login-email-error>https://login/</login-email-error>"
        "<exclusion revDate=\"2024-06-01\"><item product=\"x\"/></exclusion>"
        "</status><authentication><machinename>PC</machinename><machineid>M-1</machineid></authentication>"
        "</meridox>";
    Buffer().authentication.exclusionListDate = "2001-01-01";
    EXPECT_EQ(Parse(reply), platform::SaxResult::Complete);
    const vnxml::CXMLStatus& status = Buffer().status;
    EXPECT_TRUE(status.IsSuccess());
    EXPECT_EQ(status.setMachineId, "M-1");
    EXPECT_EQ(status.scanid, "S-9");
    EXPECT_EQ(status.message, "First part. Second part.");
    EXPECT_EQ(status.homepage, "https://h/");
    EXPECT_EQ(status.progresspage, "https://p/");
    EXPECT_EQ(status.helpage, "https://help/");
    EXPECT_EQ(status.clientupdate, "https://dl/VarnelSetup.msi");
    EXPECT_EQ(status.clientupdateVersion, "1.3.2.12");
    EXPECT_EQ(status.loginError, "");
    EXPECT_EQ(status.loginEmailError, "https://login/");
    EXPECT_EQ(status.exclusionRevDate, "2024-06-01");
    EXPECT_EQ(Buffer().authentication.machinename, "PC");
    EXPECT_EQ(Buffer().authentication.machineid, "M-1");
    EXPECT_EQ(Buffer().authentication.exclusionListDate, "");
}

TEST_F(ReplyTest, OnlyCodeZeroExactlyIsSuccess) {
    for (const char* code : {" 0", "00", "2", ""}) {
        buffer_.reset();
        Parse("<meridox><status><code>" + std::string(code) + "</code></status></meridox>");
        EXPECT_FALSE(Buffer().status.IsSuccess()) << '"' << code << '"';
    }
}

TEST_F(ReplyTest, ReplyIsReadThroughTheAnsiCodePageWhateverItDeclares) {
    VN_WatchItem* item = AddProgram(7051, "Cafe");
    // Declared as UTF-8, the byte E9 is still the ANSI letter; the UTF-8 pair
    // C3 A9 is read as two ANSI letters.
    Parse("<?xml version=\"1.0\" encoding=\"UTF-8\"?><meridox>" +
          Update("7051", "<ProgName>Caf\xE9</ProgName><AdditionalInfo>\xC3\xA9</AdditionalInfo>") + "</meridox>");
    EXPECT_EQ(item->progName, "Caf\xE9");
    EXPECT_EQ(item->additionalInfo, "\xC3\xA9");
}

TEST_F(ReplyTest, MalformedReplyKeepsWhatWasAppliedBeforeTheBreak) {
    VN_WatchItem* before = AddProgram(7061, "Before", "1.0");
    VN_WatchItem* after = AddProgram(7062, "After", "1.0");
    const std::string reply = "<meridox><status><code>0</code><scanid>S-1</scanid></status>" +
                              Update("7061", "<ProgName>Before</ProgName><CurrentVers>2.0</CurrentVers>") +
                              "<update><Sequence>7062</Sequence><CurrentVers>3.0</CurrentVers></updat></meridox>";
    EXPECT_EQ(Parse(reply), platform::SaxResult::Malformed);
    EXPECT_EQ(before->currentVers, "2.0");
    EXPECT_EQ(after->currentVers, "1.0");  // its record never closed
    EXPECT_EQ(Buffer().status.scanid, "S-1");

    // A status that never closes is not taken at all: the empty code is a refusal.
    buffer_.reset();
    EXPECT_EQ(Parse("<meridox><status><code>0</code>"), platform::SaxResult::Malformed);
    EXPECT_FALSE(Buffer().status.IsSuccess());
}

TEST_F(ReplyTest, SubscriptionNoteWithItsButtonsIsHandedToTheWatchList) {
    RecordingLink link;
    Buffer().watchListLink = &link;
    Parse("<meridox><button><title>Stray</title></button>"
          "<subscription-notification><message>Your subscription ends soon.</message>"
          "<button><title>Renew</title><action>open</action><url>https://renew/</url></button>"
          "<button><title>Later</title><action>close</action></button>"
          "</subscription-notification></meridox>");
    ASSERT_EQ(link.notes.size(), 1u);
    const vnxml::CXMLSubscriptionNote& note = link.notes[0];
    EXPECT_EQ(note.message, "Your subscription ends soon.");
    ASSERT_EQ(note.buttons.size(), 2u);
    EXPECT_EQ(note.buttons[0].title, "Renew");
    EXPECT_EQ(note.buttons[0].action, "open");
    EXPECT_EQ(note.buttons[0].url, "https://renew/");
    EXPECT_EQ(note.buttons[1].title, "Later");
    EXPECT_EQ(note.buttons[1].url, "");
    EXPECT_FALSE(Buffer().insideNote);
    EXPECT_EQ(Buffer().subscriptionNote.buttons.size(), 2u);
}

TEST_F(ReplyTest, ARecordInsideAnotherIsNoRecordOfItsOwn) {
    // A hostile reply could otherwise open a record for every start tag.
    VN_WatchItem* outer = AddProgram(7001, "Outer");
    VN_WatchItem* inner = AddProgram(7002, "Inner");
    const std::string nested =
        "<status><code>1</code></status>" + Update("7002", "<ProgName>From the nested record</ProgName>");
    EXPECT_EQ(Parse(Reply("<update><Sequence>7001</Sequence><ProgName>Outer 2</ProgName>" + nested +
                          std::string(2000, ' ') + "</update>" + std::string(500, ' '))),
              platform::SaxResult::Complete);
    EXPECT_EQ(inner->progName, "Inner") << "the nested record is not applied by itself";
    EXPECT_EQ(outer->progName, "Outer") << "the outer one's sequence has the nested one's run into it";
    EXPECT_TRUE(Buffer().status.IsSuccess()) << "the nested status is not a status";
}

TEST_F(ReplyTest, TraceShowsTagsAttributesAndEscapedText) {
    std::ostringstream trace;
    Parse("<meridox><status a=\"1\"><code>0 &amp; more</code></status></meridox>", &trace);
    EXPECT_EQ(trace.str(), "<meridox><status a=\"1\"><code>0 &amp; more</code></status></meridox>");
}

TEST_F(ReplyTest, AbortOfTheStopListEndsTheParse) {
    VN_WatchItem* item = AddProgram(7081, "Stopped", "1.0");
    VN_ListBase stopList;
    stopList.SetAbort(true);
    vnxml::CXMLSwParser parser(Buffer());
    parser.SetStopList(&stopList);
    const std::string reply = Reply(Update("7081", "<CurrentVers>2.0</CurrentVers>"));
    EXPECT_EQ(parser.ParseBuffer(reply.data(), reply.size()), platform::SaxResult::Stopped);
    EXPECT_EQ(item->currentVers, "1.0");
    EXPECT_FALSE(Buffer().status.IsSuccess());
}

TEST_F(ReplyTest, RecordsWorkWhateverTheRootAndCaseOfTheirTags) {
    VN_WatchItem* item = AddProgram(7071, "Root", "1.0");
    Parse("<winmeridox><STATUS><code>0</code></STATUS><Update><Sequence>7071</Sequence>"
          "<CurrentVers>1.1</CurrentVers><currentvers>ignored</currentvers></Update></winmeridox>");
    EXPECT_TRUE(Buffer().status.IsSuccess());
    EXPECT_EQ(item->currentVers, "1.1");  // child names are matched exactly
}

}  // namespace replysuite
