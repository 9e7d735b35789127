// The seam of the service's REST interface: a plain HTTP GET whose reply is
// an XML document, queried with XPath. Windows answers it with MSXML's
// XMLHTTP request and DOM (service/win/rest_session_msxml.h); host tests
// script it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vnxml {

// A child element of a reply node: its name and its text.
struct RestChild {
    std::string name;
    std::string text;
};

// A reply document. Texts are in the ANSI code page.
class IRestReply {
public:
    virtual ~IRestReply() = default;
    // The text of each node the path selects, in document order (an empty
    // list when it selects none); nothing when the selection fails.
    virtual std::optional<std::vector<std::string>> SelectTexts(const std::string& path) = 0;
    // The text of the first node the path selects; nothing when none.
    virtual std::optional<std::string> SelectText(const std::string& path) = 0;
    // The child elements of the first node the path selects; nothing when
    // there is no such node.
    virtual std::optional<std::vector<RestChild>> ChildElements(const std::string& path) = 0;
};

// Requests made from one thread. A session keeps whatever the platform
// needs for that thread (COM and the request object on Windows) from its
// creation to its destruction; replies never outlive their session.
class IRestSession {
public:
    virtual ~IRestSession() = default;
    // GET `address`: the reply when the status is 200 and the body is an
    // XML document, else null (the failure is logged).
    virtual std::unique_ptr<IRestReply> Get(const std::string& address) = 0;
};

class IRestSessionFactory {
public:
    virtual ~IRestSessionFactory() = default;
    // A session for the calling thread; null when the thread cannot make
    // requests at all.
    virtual std::unique_ptr<IRestSession> Open() = 0;
};

// The message of a failed COM call: "IDispatch error #N" for the codes an
// automation server returns (0x80040200 and up to 0x8004FFFF, N counted from
// the first), "Unknown error 0xHHHHHHHH" for any other.
std::string ComErrorText(uint32_t hr);

}  // namespace vnxml
