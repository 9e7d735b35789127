// The program's text log ("vnlog.txt" in the data folder, when the setting
// "Generate Log File" is on) and the debug stream. Logging never throws and
// never stops the program: while the log is closed every call does nothing.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace vnlog {

// Opens (truncating) the log file, shared for reading and writing by others,
// and writes "<local time %c>: Log Begin". False when it cannot be opened.
// Lines end with the platform's line break (CR LF on Windows). An open log
// is closed with its "Log End" line when the process exits normally.
bool Open(const std::string& path);
// Writes "<local time %c>: Log End" and closes the file.
void Close();
bool IsOpen();

// An ordinary line: "<local time %c>: " + message.
void Write(std::string_view message);
// An ordinary line for a caught exception: the message followed by the
// exception's text (at most 255 characters).
void Write(std::string_view message, const std::exception& error);
// A line written as given, without a time: the exception and warning lines.
void WriteRaw(std::string_view line);
// "*** Warning, exceptions in <where>", with " in catch all block." appended
// when the handler caught something that is not an exception object.
void Warning(std::string_view where, bool catchAll = false);

// The debug stream (diagnostic listings): OutputDebugString on Windows; on the
// host a sink that tests may set (nothing by default).
void Debug(std::string_view text);
void SetDebugSink(std::function<void(std::string_view)> sink);

}  // namespace vnlog
