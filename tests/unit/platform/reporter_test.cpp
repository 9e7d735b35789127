// The message reporter: every text reaches the event log as an error; the
// answer is the default unless an interactive window shows the box.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "platform/event_log.h"
#include "platform/message_reporter.h"
#include "platform/setting_names.h"
#include "platform/string_table.h"

namespace {

struct Recorded {
    platform::EventKind kind;
    std::string text;
};

class RecordingLog : public platform::IEventLog {
public:
    explicit RecordingLog(std::vector<Recorded>& out) : out_(out) {}
    bool Report(platform::EventKind kind, const std::string& text) override {
        out_.push_back({kind, text});
        return true;
    }
private:
    std::vector<Recorded>& out_;
};

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
    void SetUp() override { platform::InstallEventLog(std::make_unique<RecordingLog>(events_)); }
    void TearDown() override {
        platform::InstallMessagePresenter(nullptr);
        platform::InstallEventLog(nullptr);
    }
    std::vector<Recorded> events_;
};

TEST_F(Reporter, NonInteractiveAnswersYesToQuestionsAndCancelOtherwise) {
    EXPECT_EQ(platform::ReportMessage("Install now?", platform::kMbYesNo | 0x20), platform::kIdYes);
    EXPECT_EQ(platform::ReportMessage("Note", platform::kMbIconInformation), platform::kIdCancel);
    EXPECT_EQ(platform::ReportMessage(166, 0x1 /* OK/Cancel */), platform::kIdCancel);
    ASSERT_EQ(events_.size(), 3u);
    for (const Recorded& r : events_) EXPECT_EQ(r.kind, platform::EventKind::Error);
    EXPECT_EQ(events_[0].text, "Install now?");
    EXPECT_EQ(events_[2].text, platform::LoadText(166));
}

TEST_F(Reporter, InteractiveWindowShowsTheBoxAfterLogging) {
    FakePresenter presenter;
    platform::InstallMessagePresenter(&presenter);
    EXPECT_EQ(platform::ReportMessage("Question", platform::kMbYesNo), platform::kIdYes);  // not interactive yet
    presenter.interactive = true;
    EXPECT_EQ(platform::ReportMessage("Question", platform::kMbYesNo, 161), 7);
    EXPECT_EQ(presenter.caption, platform::LoadText(161));
    EXPECT_EQ(events_.size(), 2u);
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
