#include "service/xml_records.h"

#include "platform/text.h"
#include "platform/xml_writer.h"

using textutil::EqualsNoCase;

namespace vnxml {

// --------------------------------------------------------------- CXMLObject

bool CXMLObject::Capture(const char* elementName, std::string* member) {
    if (entries_.size() >= kMaxEntries) return false;
    entries_.push_back(Entry{false, elementName, member});
    return true;
}

void CXMLObject::StartChild(const std::string& name, const platform::SaxAttributes&) {
    for (Entry& e : entries_)
        if (e.name == name) e.open = true;
}

void CXMLObject::EndChild(const std::string& name) {
    for (Entry& e : entries_)
        if (e.name == name) e.open = false;
}

void CXMLObject::Characters(const std::string& text) {
    for (Entry& e : entries_)
        if (e.open) e.member->append(text);
}

namespace {

// The value of the first attribute named `name`, or null.
const std::string* Attribute(const platform::SaxAttributes& attributes, const char* name) {
    for (const platform::SaxAttribute& a : attributes)
        if (a.name == name) return &a.value;
    return nullptr;
}

}  // namespace

// --------------------------------------------------------------- CXMLStatus

CXMLStatus::CXMLStatus() {
    Capture("code", &code);
    Capture("set-machine-id", &setMachineId);
    Capture("login-error", &loginError);
    Capture("login-email-error", &loginEmailError);
    Capture("message", &message);
    Capture("scanid", &scanid);
    Capture("homepage", &homepage);
    Capture("progresspage", &progresspage);
    Capture("helpage", &helpage);
    Capture("clientupdate", &clientupdate);
}

CXMLStatus::CXMLStatus(const CXMLStatus& other) : CXMLStatus() { StatusFields::operator=(other); }

CXMLStatus& CXMLStatus::operator=(const CXMLStatus& other) {
    StatusFields::operator=(other);
    return *this;
}

void CXMLStatus::StartChild(const std::string& name, const platform::SaxAttributes& attributes) {
    if (EqualsNoCase(name, "clientupdate")) {
        if (const std::string* version = Attribute(attributes, "version")) clientupdateVersion = *version;
    } else if (name == "exclusion") {
        if (const std::string* revDate = Attribute(attributes, "revDate")) exclusionRevDate = *revDate;
    }
    CXMLObject::StartChild(name, attributes);
}

// ------------------------------------------------------- CXMLAuthentication

CXMLAuthentication::CXMLAuthentication() {
    Capture("machinename", &machinename);
    Capture("machineid", &machineid);
}

CXMLAuthentication::CXMLAuthentication(const CXMLAuthentication& other) : CXMLAuthentication() {
    AuthenticationFields::operator=(other);
}

CXMLAuthentication& CXMLAuthentication::operator=(const CXMLAuthentication& other) {
    AuthenticationFields::operator=(other);
    return *this;
}

std::string CXMLAuthentication::RequestXml() const {
    CXMLMemorySink sink;
    {
        CXMLWriter doc(sink);
        CXMLElement auth = doc.AddElement("authentication");
        if (!type.empty()) auth.SetAttribute("type", type);
        auth.AddTextElement("machinename", machinename);
        auth.AddTextElement("machineid", machineid);
        if (!exclusionListDate.empty()) auth.AddTextElement("exclusionListDate", exclusionListDate);
    }
    return sink.Str();
}

// --------------------------------------------------------------- CXMLUpdate

CXMLUpdate::CXMLUpdate() {
    Capture("Sequence", &Sequence);
    Capture("ProgName", &ProgName);
    Capture("CurrentVers", &CurrentVers);
    Capture("CurrentDate", &CurrentDate);
    Capture("Outdated", &Outdated);
    Capture("URL", &URL);
    Capture("MyVersion", &MyVersion);
    Capture("ID", &ID);
    Capture("AdditionalInfo", &AdditionalInfo);
    Capture("DirectDLIsFile", &DirectDLIsFile);
    Capture("DirectDLUrl", &DirectDLUrl);
    Capture("productID", &productID);
    Capture("MatchedPvId", &MatchedPvId);
}

CXMLUpdate::CXMLUpdate(const CXMLUpdate& other) : CXMLUpdate() { UpdateFields::operator=(other); }

CXMLUpdate& CXMLUpdate::operator=(const CXMLUpdate& other) {
    UpdateFields::operator=(other);
    return *this;
}

void CXMLUpdate::StartChild(const std::string& name, const platform::SaxAttributes& attributes) {
    if (EqualsNoCase(name, "ID")) {
        bool fingerprint = false;
        for (const platform::SaxAttribute& a : attributes)
            if (EqualsNoCase(a.name, "TYPE") && EqualsNoCase(a.value, "fingerPrint")) fingerprint = true;
        if (!fingerprint) return;
    }
    CXMLObject::StartChild(name, attributes);
}

// ------------------------------------------------ subscription note, button

CXMLSubscriptionButton::CXMLSubscriptionButton() {
    Capture("title", &title);
    Capture("action", &action);
    Capture("url", &url);
}

CXMLSubscriptionButton::CXMLSubscriptionButton(const CXMLSubscriptionButton& other) : CXMLSubscriptionButton() {
    SubscriptionButtonFields::operator=(other);
}

CXMLSubscriptionButton& CXMLSubscriptionButton::operator=(const CXMLSubscriptionButton& other) {
    SubscriptionButtonFields::operator=(other);
    return *this;
}

CXMLSubscriptionNote::CXMLSubscriptionNote() { Capture("message", &message); }

CXMLSubscriptionNote::CXMLSubscriptionNote(const CXMLSubscriptionNote& other) : CXMLSubscriptionNote() {
    SubscriptionNoteFields::operator=(other);
}

CXMLSubscriptionNote& CXMLSubscriptionNote::operator=(const CXMLSubscriptionNote& other) {
    SubscriptionNoteFields::operator=(other);
    return *this;
}

}  // namespace vnxml
