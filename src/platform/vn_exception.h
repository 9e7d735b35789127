// CVnException: the program's own error, thrown by the service layer.
// Constructing one writes its line to the log:
//   "***" + message + " ErrorCode:%08X VnError:%d"
#pragma once

#include <cstdint>
#include <exception>
#include <string>

class CVnException : public std::exception {
public:
    CVnException(int32_t vnError, std::string message, uint32_t errorCode);
    const char* what() const noexcept override { return Message.c_str(); }

    int32_t VnError;      // program error number
    std::string Message;  // text
    uint32_t ErrorCode;   // system or COM error code
};
