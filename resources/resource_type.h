#pragma once
// The value type of a resource: the JSON shape the bundle must hold and the form the accessors
// deliver. The codes are fixed; the loader's validators are registered by them.

#include <cstdint>

namespace sorvimend {

enum class ResourceType : std::int32_t {
  Key = 0,              // Base64 string of the election's public key; read as decoded bytes
  Text = 1,             // string with its numbered placeholders
  TextList = 2,         // non-empty array of strings
  Questions = 3,        // non-empty object of question id -> question text
  Integer = 4,          // number, read as a signed 32-bit integer
  Boolean = 5,          // true or false
  Image = 6,            // Base64 string of a BMP file; read as decoded bytes
  CertificateList = 7,  // null or array of PEM certificates
  Json = 8,             // string of JSON text (any value is accepted)
  Colour = 9,           // number, read as an FLTK colour (0xRRGGBB00, or an index below 256)
  Period = 10,          // "YYYY-MM-DD - YYYY-MM-DD"
};

}  // namespace sorvimend
