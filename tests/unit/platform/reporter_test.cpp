// The message reporter: every text reaches the event log as an error; the
// answer is the default unless an interactive window shows the box.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "common/recorded_events.h"
#include "common/scoped_hook.h"
#include "platform/event_log.h"
#include "platform/message_reporter.h"
#include "platform/setting_names.h"
#include "platform/string_table.h"

namespace {

class FakePresenter : public platform::IMessagePresenter {
public:
    bool interactive = false;
    std::string caption;
    bool Interactive() const override { return interactive; }
    int Show(platform::WindowHandle, const std::string&, const std::string& c, unsigned) override {
        caption = c;
        return 7;  // IDNO
    }
};

class Reporter : public ::testing::Test {
protected:
    testing_support::EventRecorder recorder_;
    testing_support::ScopedHook<platform::InstallMessagePresenter> presenter_{nullptr};
};

TEST_F(Reporter, NonInteractiveAnswersYesToQuestionsAndCancelOtherwise) {
    EXPECT_EQ(platform::ReportMessage("Install now?", platform::kMbYesNo | 0x20), platform::kIdYes);
    EXPECT_EQ(platform::ReportMessage("Note", platform::kMbIconInformation), platform::kIdCancel);
    EXPECT_EQ(platform::ReportMessage(166, 0x1 /* OK/Cancel */), platform::kIdCancel);
    const auto events = recorder_.Events();
    ASSERT_EQ(events.size(), 3u);
    for (const auto& e : events) EXPECT_EQ(e.kind, platform::EventKind::Error);
    EXPECT_EQ(events[0].text, "Install now?");
    EXPECT_EQ(events[2].text, platform::LoadText(166));
}

TEST_F(Reporter, InteractiveWindowShowsTheBoxAfterLogging) {
    FakePresenter presenter;
    presenter_.Replace(&presenter);
    EXPECT_EQ(platform::ReportMessage("Question", platform::kMbYesNo), platform::kIdYes);  // not interactive yet
    presenter.interactive = true;
    EXPECT_EQ(platform::ReportMessage("Question", platform::kMbYesNo, 161), 7);
    EXPECT_EQ(presenter.caption, platform::LoadText(161));
    EXPECT_EQ(recorder_.Events().size(), 2u);
}

TEST(EventIds, KindsMapToTheirIds) {
    EXPECT_EQ(platform::EventIdOf(platform::EventKind::Error), 0xC0020002u);
    EXPECT_EQ(platform::EventIdOf(platform::EventKind::CheckSummary), 0x40020001u);
    EXPECT_EQ(platform::EventIdOf(platform::EventKind::Information), 0x40020003u);
}

TEST(SettingTable, NamesAreUniqueAndTextDefaultsExist) {
    std::set<std::string> names;
    for (const setting::Definition& d : setting::kDefinitions) {
        EXPECT_TRUE(names.insert(d.name).second) << "listed twice: " << d.name;
        if (d.textId) {
            EXPECT_FALSE(platform::LoadText(d.textId).empty()) << d.name << " default " << d.textId;
        }
        if (d.kind == setting::Kind::Flag) {
            EXPECT_LE(d.number, 1u) << d.name;
        }
    }
    EXPECT_EQ(setting::ColumnWidthName(setting::kSoftwareViewColumnWidth, 0), "Software View Column Width 0");
}

}  // namespace
