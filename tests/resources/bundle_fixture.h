#pragma once
// A smallest bundle that passes the loader, built from the catalogue so that every test can
// break exactly one thing in it.

#include <string>

#include <rapidjson/document.h>

namespace sorvimend::testing {

// Every catalogue entry with a valid value of its type (optional images included).
[[nodiscard]] rapidjson::Document validBundle();
[[nodiscard]] std::string toJson(const rapidjson::Value& value);
// Base64 of a DER election key for election id.
[[nodiscard]] std::string electionKeyBase64(const std::string& electionId);

// Registers catalogue and validators once, resets the document after each test.
class ResourcesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void TearDown() override;
};

}  // namespace sorvimend::testing
