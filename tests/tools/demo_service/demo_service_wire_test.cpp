// The service's reading of request texts: where a request ends on a connection without framing,
// and which texts are requests at all.
#include <gtest/gtest.h>

#include <rapidjson/document.h>

#include "tools/demo-service/wire.h"

namespace sorvimend::demo {
namespace {

using State = RequestScanner::State;

TEST(DemoServiceWire, ScannerFindsTheEndOfTheRootObject) {
  struct Case {
    std::string text;
    State state;
    std::size_t length;
  };
  const Case cases[] = {
      {"{}", State::Complete, 2},
      {"  \n{\"a\":1}", State::Complete, 10},
      {"{\"a\":\"}\"}", State::Complete, 9},          // a brace inside a string
      {"{\"a\":\"\\\"}\"}", State::Complete, 11},     // an escaped quote inside a string
      {"{\"a\":\"\\\\\"}", State::Complete, 10},      // an escaped backslash ends the string
      {"{\"a\":[{\"b\":[]}]}", State::Complete, 16},
      {"{\"a\":1}{\"b\":2}", State::Complete, 7},     // the first object is the request
      {"{\"a\":", State::NeedMore, 0},
      {"{\"a\":\"}", State::NeedMore, 0},
      {"", State::NeedMore, 0},
      {"   ", State::NeedMore, 0},
      {"[1,2]", State::Invalid, 0},
      {"GET / HTTP/1.1\r\n", State::Invalid, 0},
      {"\x16\x03\x01", State::Invalid, 0},
      {std::string(40, '[').insert(0, "{\"a\":"), State::Invalid, 0},  // deeper than allowed
  };
  for (const auto& c : cases) {
    RequestScanner scanner;
    EXPECT_EQ(scanner.feed(c.text), c.state) << c.text;
    if (c.state == State::Complete) {
      EXPECT_EQ(scanner.length(), c.length) << c.text;
    }
  }
}

TEST(DemoServiceWire, ScannerGivesTheSameAnswerByteByByte) {
  const std::string text = "{\"method\":\"RPC.Vote\",\"params\":[{\"x\":\"{[\\\"]}\"}],\"id\":0}";
  RequestScanner scanner;
  State state = State::NeedMore;
  std::size_t fedAt = 0;
  for (std::size_t i = 1; i <= text.size() && state == State::NeedMore; ++i) {
    state = scanner.feed(std::string_view(text).substr(0, i));
    fedAt = i;
  }
  EXPECT_EQ(state, State::Complete);
  EXPECT_EQ(fedAt, text.size());
  EXPECT_EQ(scanner.length(), text.size());
}

TEST(DemoServiceWire, ParsesTheApplicationsEnvelope) {
  auto r = parseRequest(
      "{\"method\":\"RPC.Authenticate\",\"params\":[{\"OS\":\"Linux\",\"phoneno\":\"+37255500008\","
      "\"idcode\":\"38001010008\"}],\"id\":0}");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->method, "Authenticate");
  EXPECT_EQ(r->params.size(), 3u);
  EXPECT_EQ(r->params.at("phoneno"), "+37255500008");
  // Escapes and UTF-8 come through as bytes.
  r = parseRequest("{\"method\":\"RPC.X\",\"params\":[{\"n\":\"M\\u00c4\\n\\\"\"}]}");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->params.at("n"), "M\xC3\x84\n\"");
}

TEST(DemoServiceWire, RefusesTextsThatAreNotRequests) {
  const char* const cases[] = {
      "",
      "not json",
      "{\"method\":\"RPC.X\",\"params\":[{}]",                   // cut off
      "[]",
      "{\"params\":[{}],\"id\":0}",                              // no method
      "{\"method\":5,\"params\":[{}]}",
      "{\"method\":\"Authenticate\",\"params\":[{}]}",          // no RPC. prefix
      "{\"method\":\"RPC.\",\"params\":[{}]}",
      "{\"method\":\"RPC.X\"}",                                 // no params
      "{\"method\":\"RPC.X\",\"params\":{}}",
      "{\"method\":\"RPC.X\",\"params\":[]}",
      "{\"method\":\"RPC.X\",\"params\":[{},{}]}",
      "{\"method\":\"RPC.X\",\"params\":[\"a\"]}",
      "{\"method\":\"RPC.X\",\"params\":[{\"a\":1}]}",          // values are strings
      "{\"method\":\"RPC.X\",\"params\":[{\"a\":null}]}",
      "{\"method\":\"RPC.X\",\"params\":[{\"a\":\"1\",\"a\":\"2\"}]}",  // ambiguous member
  };
  for (const char* text : cases) EXPECT_FALSE(parseRequest(text)) << text;
}

TEST(DemoServiceWire, RepliesAreCompactJsonInTheOrderWritten) {
  const std::string reply = ReplyBuilder()
                                .add("SessionID", "s\"1")
                                .addBool("TestVote", false)
                                .addObject("Qualification", ReplyBuilder().add("ocsp", "A").add("tspreg", "B"))
                                .text();
  EXPECT_EQ(reply,
            "{\"error\":null,\"result\":{\"SessionID\":\"s\\\"1\",\"TestVote\":false,"
            "\"Qualification\":{\"ocsp\":\"A\",\"tspreg\":\"B\"}},\"id\":0}");
  EXPECT_EQ(errorReply("BAD_REQUEST"), "{\"error\":\"BAD_REQUEST\",\"result\":null,\"id\":0}");
  rapidjson::Document doc;
  const std::string plaintext = jsonQuote(std::string("0001.101\x1fList\x1fN\x01\xC3\xA4", 18));
  EXPECT_EQ(plaintext, "\"0001.101\\u001fList\\u001fN\\u0001\xC3\xA4\"");
  doc.Parse(plaintext.c_str());
  ASSERT_FALSE(doc.HasParseError());
  EXPECT_EQ(std::string(doc.GetString(), doc.GetStringLength()), std::string("0001.101\x1fList\x1fN\x01\xC3\xA4", 18));
}

}  // namespace
}  // namespace sorvimend::demo
