// vntool exclusions: reads the service's "exclusions.xml" and "config.xml" as
// the agent does, tries names against the exclusion test, and extracts a new
// exclusion list from a reply of the service.
#include <cstdio>
#include <string>
#include <string_view>

#include "command.h"
#include "inventory/config_parser.h"
#include "inventory/exclusion_file.h"
#include "inventory/exclusions.h"
#include "inventory/regexp.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"

namespace vntool {
namespace {

const char kHelp[] =
    "vntool exclusions show FILE\n"
    "    Reads FILE as the agent reads \"exclusions.xml\" and \"config.xml\" and prints,\n"
    "    one line each:\n"
    "      date \"REVDATE\"                      the list's revDate, when it has one\n"
    "      exact \"NAME\"                        each exact entry, in byte order\n"
    "      pattern \"ENTRY\"                     each entry with a star, in file order\n"
    "      pattern \"ENTRY\" invalid: REASON at offset N\n"
    "                                          a pattern that does not compile (the\n"
    "                                          agent skips it)\n"
    "      link \"SETTING\" \"ADDRESS\"            each address a link element stores\n"
    "      read complete | read malformed      whether the whole file was read (of a\n"
    "                                          malformed file, what came before the\n"
    "                                          damage counts)\n"
    "vntool exclusions test FILE NAME...\n"
    "    Tries each NAME against the exclusion list in FILE as the scanners do: one\n"
    "    line each, \"excluded \\\"NAME\\\"\" or \"kept \\\"NAME\\\"\".\n"
    "vntool exclusions extract REPLY OUT\n"
    "    Writes the exclusion element of the service reply in file REPLY (taken as\n"
    "    text in the ANSI code page, Windows-1252) to OUT as the agent saves a new\n"
    "    \"exclusions.xml\", replacing OUT only on success. Prints the agent's log line.\n"
    "  Texts are printed between double quotes with \\\" and \\\\ escaped.\n"
    "  Exit code 0 on success; 1 when FILE or REPLY cannot be read or nothing could\n"
    "  be extracted; 2 on wrong usage.\n";

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// Parses FILE into the store; the link addresses land in the in-memory settings.
bool Read(const std::string& path, VN_ExclusionStore& store, platform::SaxResult& result) {
    if (!platform::FileExists(path)) return false;
    platform::InstallSettingsStore(platform::MakeMemorySettingsStore());
    result = inventory::ParseConfigFile(path, store);
    return result != platform::SaxResult::Unreadable;
}

int Show(const std::string& path) {
    VN_ExclusionStore store;
    platform::SaxResult result;
    if (!Read(path, store, result)) return Fail("exclusions: cannot read " + path);
    if (!store.GetDate().empty()) std::printf("date %s\n", Quote(store.GetDate()).c_str());
    for (const std::string& name : store.ExactNames()) std::printf("exact %s\n", Quote(name).c_str());
    for (const std::string& pattern : store.Patterns()) {
        VN_RegExp re;
        if (re.Compile(pattern, true))
            std::printf("pattern %s\n", Quote(pattern).c_str());
        else
            std::printf("pattern %s invalid: %s at offset %zu\n", Quote(pattern).c_str(), re.ErrorText().c_str(),
                        re.ErrorOffset());
    }
    for (const char* name : {setting::kClientLinkUrl, setting::kIpapiLinkUrl, setting::kMoreInfoServer}) {
        const auto address =
            platform::AppSettings().store().GetText(platform::ISettingsStore::Hive::User, name, 4096, false);
        if (address) std::printf("link %s %s\n", Quote(name).c_str(), Quote(*address).c_str());
    }
    std::printf("read %s\n", result == platform::SaxResult::Complete ? "complete" : "malformed");
    return 0;
}

int Test(const std::string& path, const Args& names) {
    VN_ExclusionStore store;
    platform::SaxResult result;
    if (!Read(path, store, result)) return Fail("exclusions: cannot read " + path);
    for (const std::string& name : names)
        std::printf("%s %s\n", store.IsInExclusions(name) ? "excluded" : "kept", Quote(name).c_str());
    return 0;
}

int Extract(const std::string& replyPath, const std::string& outputPath) {
    const auto reply = platform::ReadWholeFile(replyPath);
    if (!reply) return Fail("exclusions: cannot read " + replyPath);
    vnlog::SetDebugSink([](std::string_view line) { std::fwrite(line.data(), 1, line.size(), stdout); });
    const int result = inventory::SaveExclusionDocument(*reply, outputPath);
    vnlog::SetDebugSink(nullptr);
    return result == 0 ? 0 : 1;
}

int Run(const Args& args) {
    if (args.size() == 2 && args[0] == "show") return Show(args[1]);
    if (args.size() >= 3 && args[0] == "test") return Test(args[1], Args(args.begin() + 2, args.end()));
    if (args.size() == 3 && args[0] == "extract") return Extract(args[1], args[2]);
    return UsageError("exclusions: expected show FILE, test FILE NAME... or extract REPLY OUT");
}

const Registrar registrar({"exclusions", "read exclusion lists and configuration files as the agent does", kHelp,
                           &Run});

}  // namespace
}  // namespace vntool
