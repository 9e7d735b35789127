// VN_ConfigParser: the one content handler for the two small files the update
// service supplies, "config.xml" (service addresses that override the
// built-in ones) and "exclusions.xml" (the exclusion list). Only the start of
// an element does anything; names are compared without regard to case.
//
//   <configuration>
//     <link clientLink="https://..."/>      one address per link element: the
//     <link ipapiLink="https://..."/>       first of clientLink, ipapiLink and
//     <link moreInfoServer="https://..."/>  moreInfoServer it carries
//   </configuration>
//
//   <exclusion revDate="2024-05-01">
//     <item product="..." name="..." dir="..."/>   each attribute one entry
//   </exclusion>
//
// A `link` writes its address to the settings ("ClientLink URL", "IpapiLink
// URL", "More Info Server"); `exclusion` and `item` fill the exclusion store.
#pragma once

#include <string>

#include "inventory/exclusions.h"
#include "platform/sax.h"

class VN_ConfigParser : public platform::ISaxHandler {
public:
    // `store` receives the exclusion entries and the list date (not owned).
    explicit VN_ConfigParser(VN_ExclusionStore* store) : store_(store) {}

    bool StartElement(const std::string& name, const platform::SaxAttributes& attributes) override;
    bool EndElement(const std::string&) override { return true; }
    bool Characters(const std::string&) override { return true; }

private:
    VN_ExclusionStore* store_;
};

namespace inventory {

inline constexpr char kConfigFileName[] = "config.xml";
inline constexpr char kExclusionsFileName[] = "exclusions.xml";

// Where the agent reads one of the service's files: the data folder's copy
// when there is one, else the program folder's (whether or not it exists).
// `programFolder` ends with a backslash, as platform::ProgramFolder does.
std::string LocateServiceFile(const std::string& name, const std::string& dataFolder,
                              const std::string& programFolder);

// Reads the file through the platform's SAX reader into `store` (and the
// address settings). A missing or malformed file ends the parse; what was
// read before stays.
platform::SaxResult ParseConfigFile(const std::string& path, VN_ExclusionStore& store);

}  // namespace inventory
