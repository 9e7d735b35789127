#include "platform/vn_exception.h"

#include "platform/log.h"
#include "platform/text.h"

CVnException::CVnException(int32_t vnError, std::string message, uint32_t errorCode)
    : VnError(vnError), Message(std::move(message)), ErrorCode(errorCode) {
    // Building the line allocates; an exception being made must not throw.
    try {
        vnlog::WriteRaw("***" + Message + textutil::Format(" ErrorCode:%08X VnError:%d", ErrorCode, VnError));
    } catch (...) {
    }
}
