#include "resources/resource_validator.h"

#include <gtest/gtest.h>

#include "bundle_fixture.h"

namespace sorvimend {
namespace {

class ValidatorTest : public testing::ResourcesTest {
 protected:
  static bool accepts(ResourceId id, const std::string& json) {
    const CatalogueEntry* entry = resourceCatalogue().entry(id);
    const ResourceValidator* validator = validatorRegistry().find(entry->type);
    if (validator == nullptr) return false;
    rapidjson::Document value;
    value.Parse(json.c_str(), json.size());
    EXPECT_FALSE(value.HasParseError()) << json;
    return validator->validate(*entry, value);
  }
};

std::string jsonString(const std::string& text) { return "\"" + text + "\""; }

TEST_F(ValidatorTest, ValuesByType) {
  const std::string key = jsonString(testing::electionKeyBase64("E"));
  const struct {
    ResourceId id;
    std::string json;
    bool ok;
  } cases[] = {
      // key
      {ResourceId::RES_DATA_PUBLIC_ENC_KEY, key, true},
      {ResourceId::RES_DATA_PUBLIC_ENC_KEY, jsonString(key.substr(1, 20) + "\\n" + key.substr(21, key.size() - 22)), true},
      {ResourceId::RES_DATA_PUBLIC_ENC_KEY, "\"\"", false},
      {ResourceId::RES_DATA_PUBLIC_ENC_KEY, "\"aGVsbG8=\"", false},
      {ResourceId::RES_DATA_PUBLIC_ENC_KEY, "17", false},
      // text with 0, 1 and 3 placeholders
      {ResourceId::RES_UI_CAPTION, "\"%1%\"", true},
      {ResourceId::RES_UI_CAPTION, "\"\"", true},
      {ResourceId::RES_UI_CAPTION, "1", false},
      {ResourceId::RES_UI_CAPTION, "null", false},
      {ResourceId::RES_VIEW_V3_7_TEXT_MASK, "\"<p>%1%</p>\"", true},
      {ResourceId::RES_VIEW_V3_7_TEXT_MASK, "\"%1\"", false},
      {ResourceId::RES_VIEW_V3_7_TEXT_MASK, "\"%2%\"", false},
      {ResourceId::RES_VIEW_V3_7_TEXT_MASK, "\"x\\u0000%1%\"", false},  // examined up to the zero
      {ResourceId::RES_ERROR_MASK, "\"%1%%3%%2%\"", true},
      {ResourceId::RES_ERROR_MASK, "\"%1% %3%\"", false},
      {ResourceId::RES_ERROR_MASK, "\"%1% %2% %4%\"", false},
      // text list
      {ResourceId::RES_APP_EVOTE_SERVER, "[\"a\"]", true},
      {ResourceId::RES_APP_EVOTE_SERVER, "[\"a\", \"\"]", true},
      {ResourceId::RES_APP_EVOTE_SERVER, "[]", false},
      {ResourceId::RES_APP_EVOTE_SERVER, "[\"a\", 1]", false},
      {ResourceId::RES_APP_EVOTE_SERVER, "\"a\"", false},
      {ResourceId::RES_APP_EVOTE_SERVER, "null", false},
      // questions
      {ResourceId::RES_APP_QUESTIONS, "{\"Q1\":\"a\",\"Q2\":\"b\"}", true},
      {ResourceId::RES_APP_QUESTIONS, "{}", false},
      {ResourceId::RES_APP_QUESTIONS, "{\"Q1\":\"a\",\"Q1\":\"b\"}", false},
      {ResourceId::RES_APP_QUESTIONS, "{\"Q1\":1}", false},
      {ResourceId::RES_APP_QUESTIONS, "[\"Q1\"]", false},
      // integer and colour
      {ResourceId::RES_UI_FONT_SIZE, "14", true},
      {ResourceId::RES_UI_FONT_SIZE, "-3", true},
      {ResourceId::RES_UI_FONT_SIZE, "1.5", true},
      {ResourceId::RES_UI_FONT_SIZE, "\"14\"", false},
      {ResourceId::RES_UI_FONT_SIZE, "true", false},
      {ResourceId::RES_UI_COLOR_TEXT, "4278190080", true},
      {ResourceId::RES_UI_COLOR_TEXT, "null", false},
      // boolean
      {ResourceId::RES_APP_HAVE_MOBID, "true", true},
      {ResourceId::RES_APP_HAVE_MOBID, "false", true},
      {ResourceId::RES_APP_HAVE_MOBID, "1", false},
      {ResourceId::RES_APP_HAVE_MOBID, "\"true\"", false},
      // image and JSON: anything
      {ResourceId::RES_DATA_IMG_IDCARD, "\"Qk0=\"", true},
      {ResourceId::RES_DATA_IMG_IDCARD, "[1,{}]", true},
      {ResourceId::RES_APP_VOTE_DISTRICTS, "null", true},
      {ResourceId::RES_APP_VOTE_DISTRICTS, "{\"a\":[]}", true},
      // certificate list
      {ResourceId::RES_DATA_MID_CERTS, "null", true},
      {ResourceId::RES_DATA_MID_CERTS, "[]", true},
      {ResourceId::RES_DATA_MID_CERTS, "[\"not a certificate\"]", false},
      {ResourceId::RES_DATA_MID_CERTS, "[1]", false},
      {ResourceId::RES_DATA_MID_CERTS, "\"x\"", false},
      // period
      {ResourceId::RES_APP_VALID_PERIOD, "\"2026-01-01 - 2027-12-31\"", true},
      {ResourceId::RES_APP_VALID_PERIOD, "\"2026-01-01 - 2026-01-02\"", true},
      {ResourceId::RES_APP_VALID_PERIOD, "\"2026-01-01 - 2026-01-01\"", false},
      {ResourceId::RES_APP_VALID_PERIOD, "\"2026-01-02 - 2026-01-01\"", false},
      {ResourceId::RES_APP_VALID_PERIOD, "\"2024-3-1 - 2024-04-01\"", false},
      {ResourceId::RES_APP_VALID_PERIOD, "\"2026-01-01-2027-12-31\"", false},
      {ResourceId::RES_APP_VALID_PERIOD, "\"2026-01-01 \xe2\x80\x93 2027-12-31\"", false},  // en dash
      {ResourceId::RES_APP_VALID_PERIOD, "\"2026-01-01  - 2027-12-31\"", false},
      {ResourceId::RES_APP_VALID_PERIOD, "\"2026-13-01 - 2027-12-31\"", false},
      {ResourceId::RES_APP_VALID_PERIOD, "\"2026-01-00 - 2027-12-31\"", false},
      // 31 February 2026 is carried to 3 March: equal to an end of 3 March, so rejected.
      {ResourceId::RES_APP_VALID_PERIOD, "\"2026-02-31 - 2026-03-04\"", true},
      {ResourceId::RES_APP_VALID_PERIOD, "\"2026-02-31 - 2026-03-03\"", false},
      {ResourceId::RES_APP_VALID_PERIOD, "\"2026-03-02 - 2026-02-31\"", true},
      {ResourceId::RES_APP_VALID_PERIOD, "\"2026-01-01 - 2027-12-31\\n\"", false},
      {ResourceId::RES_APP_VALID_PERIOD, "20260101", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(accepts(c.id, c.json), c.ok) << resourceCatalogue().entry(c.id)->fullName() << " " << c.json;
  }
}

TEST_F(ValidatorTest, CertificateListTakesRealCertificates) {
  // Made with the openssl tool (EC P-256, self-signed), so the reader meets a PEM it did not write.
  const std::string pem =
      "-----BEGIN CERTIFICATE-----\\n"
      "MIIBcjCCARmgAwIBAgIUbrbFw2D/3sYwkrCOvtrxQv8izXEwCgYIKoZIzj0EAwIw\\n"
      "DzENMAsGA1UEAwwEVGVzdDAeFw0yNjEyMTExMjM0MjlaFw0zNjEyMDgxMjM0Mjla\\n"
      "MA8xDTALBgNVBAMMBFRlc3QwWTATBgcqhkjOPQIBBggqhkjOPQMBBwNCAAQXBxhX\\n"
      "DjEr2sASpKMPAHbaQzp9UrK9aCB5i+A8N12psR8Dr7S9DdAL9jPZByjg7dz2t3wg\\n"
      "VtCIDulMgRbQm6jno1MwUTAdBgNVHQ4EFgQUdbPDf64n6qS/pRgp9RZwN4uXdHow\\n"
      "HwYDVR0jBBgwFoAUdbPDf64n6qS/pRgp9RZwN4uXdHowDwYDVR0TAQH/BAUwAwEB\\n"
      "/zAKBggqhkjOPQQDAgNHADBEAiAMpBgPaxGDVPDBwRjZ2ztkXSgw9dyoefFUaxpw\\n"
      "6jRNigIgalZQyyLcmAryiOeyB/DKIEAHKqnwGf1dlpvi+0PPigU=\\n"
      "-----END CERTIFICATE-----\\n";
  EXPECT_TRUE(accepts(ResourceId::RES_DATA_OCSP_CERTS, "[" + jsonString(pem) + "]"));
  EXPECT_TRUE(accepts(ResourceId::RES_DATA_OCSP_CERTS, "[" + jsonString(pem) + "," + jsonString(pem) + "]"));
  EXPECT_FALSE(accepts(ResourceId::RES_DATA_OCSP_CERTS, "[" + jsonString(pem) + ",\"\"]"));
  // One damaged character in the body.
  std::string damaged = pem;
  damaged.replace(damaged.find("IgalZQ"), 6, "!!!!!!");
  EXPECT_FALSE(accepts(ResourceId::RES_DATA_OCSP_CERTS, "[" + jsonString(damaged) + "]"));
}

TEST_F(ValidatorTest, TypeMismatchIsARejection) {
  // Each validator serves its own types only: the number validator asked about a text entry.
  const ResourceValidator* number = validatorRegistry().find(ResourceType::Integer);
  ASSERT_NE(number, nullptr);
  rapidjson::Value value(5);
  EXPECT_FALSE(number->validate(*resourceCatalogue().entry(ResourceId::RES_UI_CAPTION), value));
  EXPECT_TRUE(number->validate(*resourceCatalogue().entry(ResourceId::RES_UI_COLOR_TEXT), value));
  const ResourceValidator* always = validatorRegistry().find(ResourceType::Image);
  EXPECT_FALSE(always->validate(*resourceCatalogue().entry(ResourceId::RES_UI_CAPTION), value));
}

TEST_F(ValidatorTest, EveryTypeHasAValidatorUntilReleased) {
  for (int type = 0; type <= 10; ++type) EXPECT_NE(validatorRegistry().find(static_cast<ResourceType>(type)), nullptr);
  releaseValidators();
  EXPECT_EQ(validatorRegistry().find(ResourceType::Text), nullptr);
  registerValidators();
}

}  // namespace
}  // namespace sorvimend
