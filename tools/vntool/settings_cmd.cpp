// vntool settings: the agent's settings table; vntool prefs: the text of
// "VNPrefs.ini" for given settings.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "appcore/preferences_file.h"
#include "command.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"

namespace vntool {
namespace {

const char* KindName(setting::Kind kind) {
    switch (kind) {
        case setting::Kind::Number: return "number";
        case setting::Kind::Flag: return "flag";
        case setting::Kind::Text: return "text";
        case setting::Kind::Computed: return "computed";
    }
    return "?";
}

int RunSettings(const Args& args) {
    if (!args.empty()) return UsageError("settings takes no arguments");
    for (const setting::Definition& d : setting::kDefinitions) {
        std::string def;
        switch (d.kind) {
            case setting::Kind::Number:
            case setting::Kind::Flag: def = std::to_string(d.number); break;
            case setting::Kind::Text:
                def = d.textId ? "string " + std::to_string(d.textId) + " \"" + platform::LoadText(d.textId) + "\""
                               : "\"" + std::string(d.text) + "\"";
                break;
            case setting::Kind::Computed: def = "-"; break;
        }
        std::cout << d.name << '\t' << KindName(d.kind) << '\t' << def << '\n';
    }
    return 0;
}

int RunPrefs(const Args& args) {
    auto store = platform::MakeMemorySettingsStore();
    platform::Settings settings(*store);
    for (const std::string& a : args) {
        const size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0) return UsageError("expected NAME=VALUE, got: " + a);
        const std::string name = a.substr(0, eq), value = a.substr(eq + 1);
        const setting::Definition* def = nullptr;
        for (const setting::Definition& d : setting::kDefinitions)
            if (name == d.name) def = &d;
        if (!def) return UsageError("unknown setting: " + name);
        if (def->kind == setting::Kind::Number || def->kind == setting::Kind::Flag) {
            char* end = nullptr;
            const unsigned long n = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end) return UsageError("not a number: " + a);
            settings.WriteNumber(name, static_cast<uint32_t>(n));
        } else {
            settings.WriteText(name, value);
        }
    }
    std::cout << appcore::PreferencesText(settings);
    return 0;
}

const Registrar settingsCommand({
    "settings",
    "list the agent's settings: name, type, default",
    "usage: vntool settings\n"
    "  Prints one line per value of the agent's settings key\n"
    "  (HKEY_CURRENT_USER\\Software\\Harbinel\\Zelto Varnel), tab-separated:\n"
    "  NAME, TYPE (number, flag, text, computed) and DEFAULT (a number; a quoted\n"
    "  text; or string N \"text\" when the default is string-table entry N; \"-\"\n"
    "  for values worked out when read: folders, computer name, window placement).\n"
    "  Column widths (\"<view> Column Width <index>\") are not listed.\n",
    RunSettings,
});

const Registrar prefsCommand({
    "prefs",
    "print the VNPrefs.ini text for given settings",
    "usage: vntool prefs [NAME=VALUE...]\n"
    "  Prints the text the agent writes to VNPrefs.ini in its data folder, for\n"
    "  the given settings (numbers and flags as decimal numbers, texts as given)\n"
    "  and defaults for the rest. Lines end with CR LF. Exit code 2 for an\n"
    "  unknown NAME or a VALUE that is not a number where one is needed.\n",
    RunPrefs,
});

}  // namespace
}  // namespace vntool
