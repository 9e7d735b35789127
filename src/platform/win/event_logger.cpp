#include "platform/win/event_logger.h"

#include "platform/string_table.h"
#include "platform/win/handles.h"

namespace platform {

CEventLogger::CEventLogger() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return;
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return;
    std::vector<BYTE> buf(size);
    if (!GetTokenInformation(token.get(), TokenUser, buf.data(), size, &size)) return;
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buf.data())->User.Sid;
    if (!IsValidSid(sid)) return;
    const DWORD length = GetLengthSid(sid);
    sid_.resize(length);
    if (!CopySid(length, sid_.data(), sid)) sid_.clear();
}

bool CEventLogger::Report(EventKind kind, const std::string& text) {
    const std::string source = LoadText(kEventSourceStringId);
    const HANDLE log = RegisterEventSourceA(nullptr, source.c_str());
    if (!log) return false;
    const WORD type = kind == EventKind::Error ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE;
    const char* strings[1] = {text.c_str()};
    const BOOL ok = ReportEventA(log, type, 0, EventIdOf(kind), UserSid(), 1, 0, strings, nullptr);
    DeregisterEventSource(log);
    return ok != FALSE;
}

std::unique_ptr<IEventLog> MakeDefaultEventLog() { return std::make_unique<CEventLogger>(); }

}  // namespace platform
