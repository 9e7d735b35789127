#include "platform/log.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <mutex>

#include "platform/files.h"

namespace vnlog {
namespace {

struct LogState {
    std::mutex mutex;
    std::ofstream file;
    bool open = false;
    std::function<void(std::string_view)> debugSink;
};

LogState& State() {
    static LogState* state = new LogState;  // outlives every static destructor that might log
    return *state;
}

// Writes the "Log End" line at normal process exit, as the log object's
// destructor would; logging after that does nothing.
struct CloseAtExit {
    ~CloseAtExit() { Close(); }
} g_closeAtExit;

std::string LocalTimeText() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
#if defined(_WIN32)
    localtime_s(&tm, &now);
#else
    localtime_r(&now, &tm);
#endif
    char buf[128];
    const size_t n = std::strftime(buf, sizeof buf, "%c", &tm);
    return std::string(buf, n);
}

void WriteLine(LogState& s, std::string_view line) {
    if (!s.open) return;
    s.file.write(line.data(), static_cast<std::streamsize>(line.size()));
    s.file.put('\n');
    s.file.flush();
    if (!s.file) s.file.clear();  // a failed write is swallowed; later lines may succeed
}

}  // namespace

bool Open(const std::string& path) {
    try {
        LogState& s = State();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.open) s.file.close();
        s.open = false;
        // Text mode: lines end as the platform's text files do. The C runtime
        // opens files shared for reading and writing by other processes.
        s.file.open(platform::NativePath(path), std::ios::out | std::ios::trunc);
        if (!s.file.is_open()) return false;
        s.open = true;
        WriteLine(s, LocalTimeText() + ": Log Begin");
        return true;
    } catch (...) {
        return false;
    }
}

void Close() {
    try {
        LogState& s = State();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.open) return;
        WriteLine(s, LocalTimeText() + ": Log End");
        s.file.close();
        s.open = false;
    } catch (...) {
    }
}

bool IsOpen() {
    LogState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.open;
}

void Write(std::string_view message) {
    try {
        LogState& s = State();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.open) return;
        std::string line = LocalTimeText();
        line += ": ";
        line.append(message.data(), message.size());
        WriteLine(s, line);
    } catch (...) {
    }
}

void Write(std::string_view message, const std::exception& error) {
    try {
        std::string text(message);
        const char* what = error.what();
        const std::string_view errorText(what ? what : "");
        text.append(errorText.substr(0, 255));
        Write(text);
    } catch (...) {
    }
}

void WriteRaw(std::string_view line) {
    try {
        LogState& s = State();
        std::lock_guard<std::mutex> lock(s.mutex);
        WriteLine(s, line);
    } catch (...) {
    }
}

void Warning(std::string_view where, bool catchAll) {
    try {
        std::string line = "*** Warning, exceptions in ";
        line.append(where.data(), where.size());
        if (catchAll) line += " in catch all block.";
        WriteRaw(line);
    } catch (...) {
    }
}

void SetDebugSink(std::function<void(std::string_view)> sink) {
    LogState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.debugSink = std::move(sink);
}

void Debug(std::string_view text) {
    try {
        LogState& s = State();
        std::function<void(std::string_view)> sink;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            sink = s.debugSink;
        }
        if (sink) {
            sink(text);
        } else {
            platform::DebugOutput(text);
        }
    } catch (...) {
    }
}

}  // namespace vnlog
