// vntool's subcommands register themselves here, one file per subcommand, so
// that adding a command touches no shared table.
#pragma once

#include <string>
#include <vector>

namespace vntool {

using Args = std::vector<std::string>;

struct Command {
    const char* name;     // first word on the command line ("db", "regex", ...)
    const char* summary;  // one line for the command list
    const char* help;     // full help text: usage, output format, exit codes
    int (*run)(const Args& args);  // args after the name; returns the exit code
};

// Registers a command; used through a static Registrar in the command's file.
void Register(const Command& command);

struct Registrar {
    explicit Registrar(const Command& command) { Register(command); }
};

// Prints "vntool: " + message to stderr and returns 2 (usage error).
int UsageError(const std::string& message);
// Prints "vntool: " + message to stderr and returns 1 (the operation failed).
int Fail(const std::string& message);

}  // namespace vntool
