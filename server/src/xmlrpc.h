// XML-RPC for the catalogue endpoint: reading a methodCall and writing a
// methodResponse or a fault.
//
// The reader takes the body as UTF-8 (whatever its declaration says), refuses
// a document type declaration, and is bounded: nesting of values at most
// kMaxDepth, at most kMaxValues values in all; a body that breaks any rule is
// refused with a reason (the endpoint answers it with a fault). Types read:
// string (also a bare value), int and i4, boolean, double, dateTime.iso8601
// (kept as its text), nil, struct and array; base64 is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vnservice {

struct RpcValue {
    enum class Type { String, Int, Boolean, Double, Nil, Struct, Array };
    Type type = Type::String;
    std::string text;                                       // String; the original text of Int, Double and dates
    int64_t number = 0;                                     // Int, Boolean (0 or 1)
    std::vector<std::pair<std::string, RpcValue>> members;  // Struct, in document order
    std::vector<RpcValue> items;                            // Array

    static RpcValue String(std::string text);
    static RpcValue Int(int64_t number);
    static RpcValue Boolean(bool value);
    static RpcValue MakeArray(std::vector<RpcValue> items);
    static RpcValue MakeStruct(std::vector<std::pair<std::string, RpcValue>> members);

    // The first member of that name; null when there is none or this is no struct.
    const RpcValue* Member(std::string_view name) const;
    bool IsString() const { return type == Type::String; }
};

struct RpcCall {
    bool ok = false;
    std::string error;  // why the body was refused
    std::string method;
    std::vector<RpcValue> params;
};

inline constexpr size_t kMaxRpcDepth = 16;
inline constexpr size_t kMaxRpcValues = 10000;

RpcCall ParseRpcCall(std::string_view body);

// A methodResponse with one parameter; texts are UTF-8, written as ASCII.
std::string RpcResponse(const RpcValue& value);
// A methodResponse holding a fault with faultCode and faultString.
std::string RpcFault(int code, const std::string& message);

// Fault codes of the catalogue endpoint.
inline constexpr int kFaultMalformed = 1;  // not a well-formed XML-RPC call
inline constexpr int kFaultNoMethod = 2;   // unknown method
inline constexpr int kFaultBadParams = 3;  // parameters not as the method takes them
inline constexpr int kFaultNotFound = 4;   // no such product

}  // namespace vnservice
