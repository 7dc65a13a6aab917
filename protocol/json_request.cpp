#include "protocol/json_request.h"

namespace sorvimend {

void appendJsonString(std::string& out, std::string_view text) {
  static constexpr char hex[] = "0123456789ABCDEF";
  out.push_back('"');
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out.push_back(hex[byte >> 4]);
          out.push_back(hex[byte & 0x0F]);
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
}

std::string buildRequest(std::string_view method, const RequestParams& params) {
  std::string out = "{\"method\":";
  appendJsonString(out, std::string("RPC.").append(method));
  out += ",\"params\":[{";
  bool first = true;
  for (const auto& [name, value] : params) {
    if (!first) out.push_back(',');
    first = false;
    appendJsonString(out, name);
    out.push_back(':');
    appendJsonString(out, value);
  }
  out += "}],\"id\":0}";
  return out;
}

}  // namespace sorvimend
