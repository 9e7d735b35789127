#include "xmlrpc.h"

#include <expat.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "xml_writer.h"

namespace vnservice {

RpcValue RpcValue::String(std::string text) {
    RpcValue v;
    v.text = std::move(text);
    return v;
}

RpcValue RpcValue::Int(int64_t number) {
    RpcValue v;
    v.type = Type::Int;
    v.number = number;
    v.text = std::to_string(number);
    return v;
}

RpcValue RpcValue::Boolean(bool value) {
    RpcValue v;
    v.type = Type::Boolean;
    v.number = value ? 1 : 0;
    return v;
}

RpcValue RpcValue::MakeArray(std::vector<RpcValue> items) {
    RpcValue v;
    v.type = Type::Array;
    v.items = std::move(items);
    return v;
}

RpcValue RpcValue::MakeStruct(std::vector<std::pair<std::string, RpcValue>> members) {
    RpcValue v;
    v.type = Type::Struct;
    v.members = std::move(members);
    return v;
}

const RpcValue* RpcValue::Member(std::string_view name) const {
    if (type != Type::Struct) return nullptr;
    for (const auto& m : members)
        if (m.first == name) return &m.second;
    return nullptr;
}

namespace {

// Reads a methodCall with a stack of open values. The grammar is checked
// element by element: each element may appear only inside the one the
// XML-RPC format puts it in.
class CallReader {
public:
    RpcCall Read(std::string_view body) {
        std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate("UTF-8"), XML_ParserFree);
        if (!parser) return Fail("out of memory");
        parser_ = parser.get();
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &CallReader::Start, &CallReader::End);
        XML_SetCharacterDataHandler(parser_, &CallReader::Text);
        XML_SetStartDoctypeDeclHandler(parser_, &CallReader::Doctype);
        const bool parsed = XML_Parse(parser_, body.data(), static_cast<int>(body.size()), XML_TRUE) == XML_STATUS_OK;
        if (!error_.empty()) return Fail(error_);
        if (!parsed) return Fail(std::string("not well-formed XML: ") + XML_ErrorString(XML_GetErrorCode(parser_)));
        if (call_.method.empty()) return Fail("no methodName");
        call_.ok = true;
        return std::move(call_);
    }

private:
    struct Open {
        std::string name;
        RpcValue* value = nullptr;  // for value elements and the types inside them
        std::string text;
        bool typed = false;  // a value whose type element has been seen
    };

    RpcCall Fail(const std::string& why) {
        RpcCall failed;
        failed.error = why;
        return failed;
    }

    void Stop(const std::string& why) {
        if (error_.empty()) error_ = why;
        XML_StopParser(parser_, XML_FALSE);
    }

    static void XMLCALL Doctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        static_cast<CallReader*>(data)->Stop("a document type declaration is not accepted");
    }
    static void XMLCALL Start(void* data, const XML_Char* name, const XML_Char**) {
        static_cast<CallReader*>(data)->OnStart(name);
    }
    static void XMLCALL End(void* data, const XML_Char*) { static_cast<CallReader*>(data)->OnEnd(); }
    static void XMLCALL Text(void* data, const XML_Char* text, int length) {
        CallReader* self = static_cast<CallReader*>(data);
        if (!self->stack_.empty()) self->stack_.back().text.append(text, static_cast<size_t>(length));
    }

    const std::string& Parent() const {
        static const std::string none;
        return stack_.empty() ? none : stack_.back().name;
    }

    // A new value inside the current container (param, member, array data).
    RpcValue* NewValue() {
        if (++values_ > kMaxRpcValues) {
            Stop("too many values");
            return nullptr;
        }
        if (++depth_ > kMaxRpcDepth) {
            Stop("values nested too deeply");
            return nullptr;
        }
        const std::string& parent = Parent();
        if (parent == "param") return &call_.params.emplace_back();
        if (parent == "member") {
            if (!memberNames_.empty() && memberNames_.back().second) {
                RpcValue* container = stack_[stack_.size() - 2].value;
                container->members.emplace_back(memberNames_.back().first, RpcValue());
                memberNames_.back().second = false;
                return &container->members.back().second;
            }
            Stop("a member's value before its name");
            return nullptr;
        }
        if (parent == "data") return &stack_[stack_.size() - 2].value->items.emplace_back();
        Stop("a value out of place");
        return nullptr;
    }

    void OnStart(const std::string& name) {
        if (!error_.empty()) return;
        const std::string parent = Parent();
        Open open{name, nullptr, std::string(), false};
        bool fits = false;
        if (name == "methodCall") {
            fits = stack_.empty() && !seenRoot_;
            seenRoot_ = true;
        } else if (name == "methodName" || name == "params") {
            fits = parent == "methodCall";
        } else if (name == "param") {
            fits = parent == "params";
        } else if (name == "value") {
            fits = parent == "param" || parent == "member" || parent == "data";
            if (fits) {
                open.value = NewValue();
                if (!open.value) return;
            }
        } else if (name == "member") {
            fits = parent == "struct";
            if (fits) memberNames_.emplace_back(std::string(), false);
        } else if (name == "name") {
            fits = parent == "member";
        } else if (name == "data") {
            fits = parent == "array";
        } else if (parent == "value") {
            Open& v = stack_.back();
            if (v.typed) return Stop("two types in one value");
            v.typed = true;
            open.value = v.value;
            fits = true;
            if (name == "struct") {
                v.value->type = RpcValue::Type::Struct;
            } else if (name == "array") {
                v.value->type = RpcValue::Type::Array;
            } else if (name == "string" || name == "int" || name == "i4" || name == "boolean" || name == "double" ||
                       name == "dateTime.iso8601" || name == "nil") {
            } else {
                return Stop("type " + name + " is not accepted");
            }
        }
        if (!fits) return Stop("element " + name + " out of place");
        stack_.push_back(std::move(open));
    }

    void OnEnd() {
        if (!error_.empty() || stack_.empty()) return;
        Open open = std::move(stack_.back());
        stack_.pop_back();
        const std::string& name = open.name;
        if (name == "methodName") {
            call_.method = open.text;
        } else if (name == "name") {
            if (!memberNames_.empty()) memberNames_.back() = {open.text, true};
        } else if (name == "member") {
            if (!memberNames_.empty()) {
                if (memberNames_.back().second) return Stop("a member without a value");
                memberNames_.pop_back();
            }
        } else if (name == "value") {
            --depth_;
            if (!open.typed) *open.value = RpcValue::String(open.text);  // a bare value is a string
        } else if (open.value && name != "struct" && name != "array") {
            SetScalar(*open.value, name, open.text);
        }
    }

    void SetScalar(RpcValue& value, const std::string& type, const std::string& text) {
        value.text = text;
        if (type == "string" || type == "dateTime.iso8601") {
            value.type = RpcValue::Type::String;
        } else if (type == "nil") {
            value.type = RpcValue::Type::Nil;
            value.text.clear();
        } else if (type == "boolean") {
            if (text != "0" && text != "1") return Stop("a boolean is 0 or 1");
            value.type = RpcValue::Type::Boolean;
            value.number = text == "1";
        } else if (type == "double") {
            char* end = nullptr;
            std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0') return Stop("not a double: " + text.substr(0, 40));
            value.type = RpcValue::Type::Double;
        } else {
            char* end = nullptr;
            errno = 0;
            const long long n = std::strtoll(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || errno == ERANGE || n < INT32_MIN || n > INT32_MAX)
                return Stop("not a 32-bit integer: " + text.substr(0, 40));
            value.type = RpcValue::Type::Int;
            value.number = n;
        }
    }

    XML_Parser parser_ = nullptr;
    RpcCall call_;
    std::vector<Open> stack_;
    // Per open member: its name and whether the name still waits for its value.
    std::vector<std::pair<std::string, bool>> memberNames_;
    std::string error_;
    size_t values_ = 0, depth_ = 0;
    bool seenRoot_ = false;
};

void WriteValue(std::string& out, const RpcValue& value) {
    out += "<value>";
    switch (value.type) {
        case RpcValue::Type::String: out += "<string>" + EscapeXml(value.text, false) + "</string>"; break;
        case RpcValue::Type::Int: out += "<int>" + std::to_string(value.number) + "</int>"; break;
        case RpcValue::Type::Boolean: out += value.number ? "<boolean>1</boolean>" : "<boolean>0</boolean>"; break;
        case RpcValue::Type::Double: out += "<double>" + EscapeXml(value.text, false) + "</double>"; break;
        case RpcValue::Type::Nil: out += "<nil/>"; break;
        case RpcValue::Type::Struct:
            out += "<struct>";
            for (const auto& m : value.members) {
                out += "<member><name>" + EscapeXml(m.first, false) + "</name>";
                WriteValue(out, m.second);
                out += "</member>";
            }
            out += "</struct>";
            break;
        case RpcValue::Type::Array:
            out += "<array><data>";
            for (const RpcValue& item : value.items) WriteValue(out, item);
            out += "</data></array>";
            break;
    }
    out += "</value>";
}

}  // namespace

RpcCall ParseRpcCall(std::string_view body) { return CallReader().Read(body); }

std::string RpcResponse(const RpcValue& value) {
    std::string out = "<?xml version=\"1.0\"?>\n<methodResponse><params><param>";
    WriteValue(out, value);
    return out + "</param></params></methodResponse>\n";
}

std::string RpcFault(int code, const std::string& message) {
    std::string out = "<?xml version=\"1.0\"?>\n<methodResponse><fault>";
    WriteValue(out,
               RpcValue::MakeStruct({{"faultCode", RpcValue::Int(code)}, {"faultString", RpcValue::String(message)}}));
    return out + "</fault></methodResponse>\n";
}

}  // namespace vnservice
