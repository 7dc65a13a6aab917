// The demo service's reading of request bytes: the end-of-request scan, fed in uneven pieces as
// a network delivers them, must agree with one whole feed, and the parser must take any bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tools/demo-service/wire.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvimend::demo;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  RequestScanner whole;
  const auto state = whole.feed(input);
  RequestScanner pieces;
  auto pieceState = RequestScanner::State::NeedMore;
  for (std::size_t end = 0; end < size && pieceState == RequestScanner::State::NeedMore;) {
    end += 1 + (data[end] % 7);
    pieceState = pieces.feed(input.substr(0, end < size ? end : size));
  }
  if (size > 0 && pieceState != state) std::abort();
  if (state == RequestScanner::State::Complete && pieces.length() != whole.length()) std::abort();
  const auto request = parseRequest(state == RequestScanner::State::Complete ? input.substr(0, whole.length()) : input);
  if (request && request->method.empty()) std::abort();
  return 0;
}
