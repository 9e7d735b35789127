// vntool: a command line for support staff and tests that reads and writes
// the agent's files and formats. "vntool --help" lists the commands;
// "vntool help COMMAND" shows one command's usage and output format.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "command.h"

namespace vntool {
namespace {

std::vector<Command>& Commands() {
    static std::vector<Command> commands;
    return commands;
}

const Command* Find(const std::string& name) {
    for (const Command& c : Commands())
        if (name == c.name) return &c;
    return nullptr;
}

void PrintUsage() {
    std::vector<Command> sorted = Commands();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    std::cout << "usage: vntool COMMAND [ARGS...]\n"
                 "       vntool help COMMAND\n\n"
                 "Reads and writes the files and formats of the Varnel agent.\n"
                 "Exit codes: 0 success, 1 the operation failed (a one-line error on stderr),\n"
                 "2 wrong usage.\n\n"
                 "Commands:\n";
    for (const Command& c : sorted) std::printf("  %-18s %s\n", c.name, c.summary);
    std::cout << "\n";
    for (const Command& c : sorted) std::cout << c.help << "\n";
}

}  // namespace

void Register(const Command& command) { Commands().push_back(command); }

int UsageError(const std::string& message) {
    std::cerr << "vntool: " << message << "\n";
    return 2;
}

int Fail(const std::string& message) {
    std::cerr << "vntool: " << message << "\n";
    return 1;
}

}  // namespace vntool

int main(int argc, char** argv) {
    using namespace vntool;
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        PrintUsage();
        return argc < 2 ? 2 : 0;
    }
    const std::string name = argv[1];
    if (name == "help") {
        if (argc < 3) {
            PrintUsage();
            return 0;
        }
        const Command* c = Find(argv[2]);
        if (!c) return UsageError(std::string("unknown command: ") + argv[2]);
        std::cout << c->help;
        return 0;
    }
    const Command* c = Find(name);
    if (!c) return UsageError("unknown command: " + name + " (see vntool --help)");
    Args args(argv + 2, argv + argc);
    try {
        return c->run(args);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
