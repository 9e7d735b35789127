#include "inventory/config_parser.h"

#include "platform/files.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/text.h"

using textutil::EqualsNoCase;

namespace {

const std::string* FindAttribute(const platform::SaxAttributes& attributes, const char* name) {
    for (const platform::SaxAttribute& attribute : attributes)
        if (EqualsNoCase(attribute.name, name)) return &attribute.value;
    return nullptr;
}

struct LinkSetting {
    const char* attribute;
    const char* setting;
};
// In the order they are looked for; one link element carries one address.
constexpr LinkSetting kLinks[] = {
    {"clientLink", setting::kClientLinkUrl},
    {"ipapiLink", setting::kIpapiLinkUrl},
    {"moreInfoServer", setting::kMoreInfoServer},
};

}  // namespace

bool VN_ConfigParser::StartElement(const std::string& name, const platform::SaxAttributes& attributes) {
    if (EqualsNoCase(name, "exclusion")) {
        if (const std::string* date = FindAttribute(attributes, "revDate")) store_->SetDate(*date);
    } else if (EqualsNoCase(name, "item")) {
        for (const char* kind : {"product", "name", "dir"})
            if (const std::string* entry = FindAttribute(attributes, kind)) store_->AddEntry(*entry);
    } else if (EqualsNoCase(name, "link")) {
        for (const LinkSetting& link : kLinks) {
            const std::string* address = FindAttribute(attributes, link.attribute);
            if (address == nullptr) continue;
            // An empty address would replace the built-in default with
            // nothing to connect to; the setting stays deleted instead.
            if (!address->empty()) platform::AppSettings().WriteText(link.setting, *address);
            break;
        }
    }
    return true;
}

namespace inventory {

std::string LocateServiceFile(const std::string& name, const std::string& dataFolder,
                              const std::string& programFolder) {
    if (!dataFolder.empty()) {
        const std::string inData = dataFolder + "\\" + name;
        if (platform::FileExists(inData)) return inData;
    }
    return programFolder + name;
}

platform::SaxResult ParseConfigFile(const std::string& path, VN_ExclusionStore& store) {
    platform::SaxReaderCreation created = platform::CreateSaxReader();
    if (!created.reader) {
        vnlog::Debug(textutil::Format("Fail to init xml parser! Error code = 0x%x\n", created.error));
        return platform::SaxResult::Unreadable;
    }
    VN_ConfigParser parser(&store);
    return created.reader->ParseFile(path, parser);
}

}  // namespace inventory
