#include "protocol/json_request.h"

#include <gtest/gtest.h>

namespace sorvimend {
namespace {

TEST(JsonRequest, EnvelopeIsCompactWithMembersInOrder) {
  const std::string text = buildRequest("Authenticate", {{"OS", "Linux 6.1"}, {"phoneno", "+37255500008"},
                                                         {"idcode", "38001010008"}});
  EXPECT_EQ(text,
            "{\"method\":\"RPC.Authenticate\",\"params\":[{\"OS\":\"Linux 6.1\",\"phoneno\":\"+37255500008\","
            "\"idcode\":\"38001010008\"}],\"id\":0}");
}

TEST(JsonRequest, EscapesWhatJsonRequiresAndNothingElse) {
  struct Case {
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {"plain", "\"plain\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"back\\slash", "\"back\\\\slash\""},
      {"two\nlines\r", "\"two\\nlines\\r\""},
      {"\b\t\f", "\"\\b\\t\\f\""},
      {std::string("nul\0x", 5), "\"nul\\u0000x\""},
      {"\x01\x1f", "\"\\u0001\\u001F\""},
      {"/ and \x7f", "\"/ and \x7f\""},
      // Non-ASCII letters leave as their UTF-8 bytes, unescaped.
      {"M\xC3\x84NNIK \xC5\xA0", "\"M\xC3\x84NNIK \xC5\xA0\""},
      {"", "\"\""},
  };
  for (const auto& c : cases) {
    std::string out;
    appendJsonString(out, c.input);
    EXPECT_EQ(out, c.expected) << c.input;
  }
}

}  // namespace
}  // namespace sorvimend
