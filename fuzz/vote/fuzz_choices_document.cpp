// The choices document from the voting service, and the district table from the bundle.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vote/ballot.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorvimend;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Ballot ballot("E1", "Q1", "", "1.1", "");
  const ChoicesStatus status = parseChoicesDocument(input, ballot);
  if (status != ChoicesStatus::Ok && !ballot.lists().empty()) std::abort();
  for (const auto& list : ballot.lists()) {
    for (const auto& choice : list->choices()) {
      if (choice->districtCode().empty() || choice->districtCode().size() > 10 || choice->number().empty() ||
          choice->number().size() > 11) {
        std::abort();
      }
      (void)votePlaintext(*choice);
    }
  }
  // The same bytes as a district table, looked up by the first line's identifier.
  (void)districtName(input.substr(0, input.find('=')), input);
  return 0;
}
