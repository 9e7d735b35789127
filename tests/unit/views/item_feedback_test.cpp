// The report dialog's decisions: the reasons each kind of item offers, the
// refusals of an incomplete report and the reason code an item keeps.
#include <gtest/gtest.h>

#include "inventory/driver_item.h"
#include "inventory/watch_item.h"
#include "platform/string_table.h"
#include "views/item_feedback.h"

namespace {

std::vector<std::string> Texts(const std::vector<int>& ids) {
    std::vector<std::string> texts;
    for (int id : ids) texts.push_back(platform::LoadText(id));
    return texts;
}

}  // namespace

TEST(ItemFeedback, ProgramsAndDriversOfferTheirOwnReasonsAfterClickToSelect) {
    VN_WatchItem program;
    VN_DriverItem driver;
    EXPECT_EQ(Texts(Submit::ReportReasonIds(program)),
              (std::vector<std::string>{"Click to select", "\"My Version\" is incorrect",
                                        "\"My Version\" is newer than the Current Version",
                                        "\"Current Version\" is incorrect", "\"Current Version\" is not displayed",
                                        "Product name is incorrect", "Product is not tracked", "Other"}));
    EXPECT_EQ(Texts(Submit::ReportReasonIds(driver)),
              (std::vector<std::string>{"Click to select", "Driver update did not work",
                                        "Driver is not listed correctly", "Other"}));
    EXPECT_EQ(Submit::ReportCaption(driver), "Report Drivers");
    EXPECT_EQ(Submit::ReportExplanation(driver), platform::LoadText(173));
    EXPECT_NE(Submit::ReportCaption(program), "Report Drivers");
}

TEST(ItemFeedback, AReportNeedsAReasonAndOtherNeedsComments) {
    EXPECT_EQ(Submit::ReportRefusal(0, "Click to select", "some words"), "You must select a reason.");
    EXPECT_EQ(Submit::ReportRefusal(-1, "", ""), "You must select a reason.");
    EXPECT_EQ(Submit::ReportRefusal(7, "OTHER", ""), "You must enter some comments if Reason is Other.");
    EXPECT_EQ(Submit::ReportRefusal(7, "Other", "it is a plug-in"), "");
    EXPECT_EQ(Submit::ReportRefusal(5, "Product name is incorrect", ""), "");
}

TEST(ItemFeedback, TheReasonCodeIsTheStringTableEntryOfTheText) {
    EXPECT_EQ(Submit::ReasonCode("product NAME is incorrect"), 183);
    EXPECT_EQ(Submit::ReasonCode("Other"), 180);
    EXPECT_EQ(Submit::ReasonCode("Driver is not listed correctly"), 187);
    EXPECT_EQ(Submit::ReasonCode("Something else"), 0);
}
