// CEventLogger against the real event-log functions.
#include <gtest/gtest.h>

#include "platform/event_log.h"
#include "platform/message_reporter.h"
#include "platform/win/event_logger.h"
#include "platform/win/handles.h"

namespace {

TEST(EventLogger, CarriesTheUserSidFromTheProcessToken) {
    platform::CEventLogger logger;
    ASSERT_NE(logger.UserSid(), nullptr);
    platform::UniqueHandle token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()));
    char buf[256];
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token.get(), TokenUser, buf, sizeof buf, &size));
    EXPECT_TRUE(EqualSid(logger.UserSid(), reinterpret_cast<TOKEN_USER*>(buf)->User.Sid));
}

// The texts below are looked for in this test's output by a second CTest
// run with Wine's event-log tracing on (see CMakeLists.txt beside this file).
TEST(EventLogger, ReportsEveryKindOfEvent) {
    platform::CEventLogger logger;
    EXPECT_TRUE(logger.Report(platform::EventKind::Error, "varnel-test error event"));
    EXPECT_TRUE(logger.Report(platform::EventKind::CheckSummary, "varnel-test summary event"));
    EXPECT_TRUE(logger.Report(platform::EventKind::Information, "varnel-test information event"));
}

TEST(EventLogger, MessageReporterReportsAndAnswersByDefault) {
    EXPECT_EQ(platform::ReportMessage("varnel-test reporter question", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(platform::ReportMessage("varnel-test reporter note", MB_OK), IDCANCEL);
}

}  // namespace
