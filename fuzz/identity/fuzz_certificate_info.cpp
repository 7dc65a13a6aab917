// Card certificates come from whatever token is in the reader: parse anything, and whatever
// parses must read the same again from its own re-encoding and pass through the filter safely.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "identity/certificate_filter.h"
#include "identity/certificate_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvimend;
  const std::string_view der(reinterpret_cast<const char*>(data), size);
  auto info = parseCertificateInfo(der);
  if (!info) return 0;
  auto again = parseCertificateInfo(info->der);
  if (!again || again->der != info->der || again->personalCode != info->personalCode ||
      again->usage != info->usage || again->keyType != info->keyType ||
      again->signatureBits != info->signatureBits) {
    std::abort();
  }
  CertificateFilter filter;
  filter.setWantedUsage(info->usage);
  static_cast<void>(filter.apply(*info));  // no issuer list
  filter.setIssuers({});
  static_cast<void>(filter.apply(*info));  // no issuer in the list
  return 0;
}
