// Record objects of the service's replies. A record is opened at its
// element's start tag and captures the text of the child elements it knows by
// name into its string members until its end tag; the reply parser then uses
// it and destroys it.
//
// CXMLObject holds the capture table (at most 20 entries: element name and
// the member that receives its text). Text arriving in several pieces, or for
// a repeated element, is appended; nothing is trimmed.
//
// The records' values live in a plain struct that each record derives from
// (for example StatusFields), so that a record can be copied: a copy takes
// the values and builds its own capture table over its own members.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/sax.h"

namespace vnxml {

class CXMLObject {
public:
    static constexpr size_t kMaxEntries = 20;

    CXMLObject() = default;
    virtual ~CXMLObject() = default;
    // A copy has no capture entries of its own; the derived record registers
    // its members again (they are different objects).
    CXMLObject(const CXMLObject&) {}
    CXMLObject& operator=(const CXMLObject&) { return *this; }

    // Empty for every record class.
    virtual std::string Name() const { return std::string(); }
    // Marks open every entry whose element name equals `name` (case-sensitive).
    virtual void StartChild(const std::string& name, const platform::SaxAttributes& attributes);
    // Marks closed every entry with that name.
    virtual void EndChild(const std::string& name);
    // Appends the text to the member of every open entry.
    virtual void Characters(const std::string& text);

protected:
    // Registers `member` to receive the text of child elements named
    // `elementName`. False (and nothing registered) once the table is full.
    bool Capture(const char* elementName, std::string* member);

private:
    struct Entry {
        bool open;
        std::string name;
        std::string* member;
    };
    std::vector<Entry> entries_;
};

// ------------------------------------------------------------------ status

struct StatusFields {
    std::string code;  // "0" is success; anything else (also " 0" or empty) a refusal
    std::string setMachineId;
    std::string loginError;
    std::string loginEmailError;
    std::string message;
    std::string scanid;
    std::string homepage;
    std::string progresspage;
    std::string helpage;
    std::string clientupdate;
    std::string clientupdateVersion;  // the `version` attribute of clientupdate
    std::string exclusionRevDate;     // the `revDate` attribute of exclusion

    bool IsSuccess() const { return code == "0"; }
};

class CXMLStatus : public CXMLObject, public StatusFields {
public:
    CXMLStatus();
    CXMLStatus(const CXMLStatus& other);
    CXMLStatus& operator=(const CXMLStatus& other);

    // Also takes the `version` of clientupdate and the `revDate` of exclusion.
    void StartChild(const std::string& name, const platform::SaxAttributes& attributes) override;
};

// ---------------------------------------------------------- authentication

struct AuthenticationFields {
    std::string machinename;
    std::string machineid;
    std::string exclusionListDate;  // request only
    std::string type;               // request only; the client never sets it
};

class CXMLAuthentication : public CXMLObject, public AuthenticationFields {
public:
    CXMLAuthentication();
    CXMLAuthentication(const CXMLAuthentication& other);
    CXMLAuthentication& operator=(const CXMLAuthentication& other);

    // The request's `authentication` element, written by the XML writer.
    std::string RequestXml() const;
};

// ------------------------------------------------------------------ update

struct UpdateFields {
    std::string Sequence;
    std::string ProgName;
    std::string CurrentVers;
    std::string CurrentDate;
    std::string Outdated;
    std::string URL;
    std::string MyVersion;
    std::string ID;  // only from an ID element of type "fingerPrint"
    std::string AdditionalInfo;
    std::string DirectDLIsFile;
    std::string DirectDLUrl;
    std::string productID;
    std::string MatchedPvId;
    bool needsIcon = false;  // the update element's serverNeedsIcon="true"
};

class CXMLUpdate : public CXMLObject, public UpdateFields {
public:
    CXMLUpdate();
    CXMLUpdate(const CXMLUpdate& other);
    CXMLUpdate& operator=(const CXMLUpdate& other);

    // An ID element counts only when it is the fingerprint the item is known
    // by at the service (attribute type="fingerPrint", any case); other ID
    // elements are ignored.
    void StartChild(const std::string& name, const platform::SaxAttributes& attributes) override;
};

// ----------------------------------------------------- subscription note

struct SubscriptionButtonFields {
    std::string title;
    std::string action;
    std::string url;
};

class CXMLSubscriptionButton : public CXMLObject, public SubscriptionButtonFields {
public:
    CXMLSubscriptionButton();
    CXMLSubscriptionButton(const CXMLSubscriptionButton& other);
    CXMLSubscriptionButton& operator=(const CXMLSubscriptionButton& other);
};

struct SubscriptionNoteFields {
    std::string message;
    std::vector<CXMLSubscriptionButton> buttons;
};

class CXMLSubscriptionNote : public CXMLObject, public SubscriptionNoteFields {
public:
    CXMLSubscriptionNote();
    CXMLSubscriptionNote(const CXMLSubscriptionNote& other);
    CXMLSubscriptionNote& operator=(const CXMLSubscriptionNote& other);
};

}  // namespace vnxml
