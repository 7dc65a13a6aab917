#pragma once
// What the error view shows of a failure: the class name, the message and the technical code,
// filled into the RES_ERROR MASK. Reads the bundle, so only after a successful load.

#include <string>

#include "resources/resource_id.h"
#include "util/error_info.h"

namespace sorvimend {

// "Tehnilise vea kood: 0x" class "-" detail, and "-0x" extra in lower-case hexadecimal when extra
// is not 0. The class is written in decimal (classes are 1 to 8).
[[nodiscard]] std::string technicalErrorCode(const ErrorInfo& error);

// The RES_ERROR resource naming a class; INTERNAL for any number outside 1..8.
[[nodiscard]] ResourceId errorClassNameId(std::int32_t errorClass);

// The mask filled with the class name, the message and the technical code. With no record the
// class name is INTERNAL and the other two are empty.
[[nodiscard]] std::string errorViewText(const ErrorInfo* error);

}  // namespace sorvimend
