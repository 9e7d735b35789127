// The exchange's buffer drives the real watch list: the request's time
// becomes the list's scan time, a check reply first clears the list's update
// flags, and the reply's subscription note is kept by the list.
#include <gtest/gtest.h>

#include "inventory/driver_data.h"
#include "inventory/watch_item.h"
#include "inventory/watch_list.h"
#include "platform/xml_writer.h"
#include "service/reply_parser.h"
#include "service/watch_list_link.h"

TEST(WatchListLink, DocumentTimeReplyFlagsAndNoteReachTheWatchList) {
    VN_WatchList list;
    Views::CDriverData drivers;
    auto item = std::make_unique<VN_WatchItem>();
    item->progName = "Editor";
    item->outdated = true;
    item->updateAvailable = true;
    VN_WatchItem* editor = item.get();
    list.AddTail(std::move(item));

    vnxml::CWatchListLink link(list);
    vnxml::CXMLBuffer buffer(&list, &drivers, vnxml::kCheckRequest);
    buffer.watchListLink = &link;
    buffer.clock.fixedTime = 1700000000;  // 2023-11-14 22:13:20 UTC
    buffer.clock.zone = platform::TimeZoneState{};

    vnxml::CXMLMemorySink sink;
    ASSERT_FALSE(buffer.WriteDocument(sink));
    EXPECT_NE(list.GetScanTimeText().find("22:13:20 UTC"), std::string::npos) << list.GetScanTimeText();

    buffer.PrepareForReply();
    EXPECT_FALSE(editor->outdated);
    EXPECT_FALSE(editor->updateAvailable);

    const std::string reply =
        "<meridox><status><code>0</code></status>"
        "<subscription-notification><message>Renew now</message>"
        "<button><title>Renew</title><action>open</action><url>https://x.example/r</url></button>"
        "</subscription-notification></meridox>";
    vnxml::CXMLSwParser parser(buffer);
    parser.ParseBuffer(reply.data(), reply.size(), nullptr);
    const inventory::SubscriptionNote note = list.GetSubscriptionNote();
    EXPECT_EQ(note.message, "Renew now");
    ASSERT_EQ(note.buttons.size(), 1u);
    EXPECT_EQ(note.buttons[0].title, "Renew");
    EXPECT_EQ(note.buttons[0].url, "https://x.example/r");
}
