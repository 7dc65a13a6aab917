#include <gtest/gtest.h>

#include "bundle_fixture.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"
#include "util/base64.h"

namespace sorvimend::testing {
namespace {

std::string tlv(unsigned char tag, const std::string& content) {
  std::string out(1, static_cast<char>(tag));
  out.push_back(static_cast<char>(content.size()));  // short form: every part here is small
  return out + content;
}

}  // namespace

std::string electionKeyBase64(const std::string& electionId) {
  const std::string oid = tlv(0x06, std::string("\x2b\x06\x01\x04\x01\x97\x55\x02\x01", 9));
  const std::string params = tlv(0x30, tlv(0x02, "\x17") + tlv(0x02, "\x05") + tlv(0x1b, electionId));
  const std::string pub = tlv(0x03, std::string(1, '\0') + tlv(0x30, tlv(0x02, "\x07")));
  return base64EncodeLine(tlv(0x30, tlv(0x30, oid + params) + pub));
}

rapidjson::Document validBundle() {
  rapidjson::Document doc(rapidjson::kObjectType);
  auto& a = doc.GetAllocator();
  for (const auto& [id, entry] : resourceCatalogue().entries()) {
    rapidjson::Value name(entry.group.c_str(), a);
    if (!doc.HasMember(name)) doc.AddMember(rapidjson::Value(entry.group.c_str(), a), rapidjson::Value(rapidjson::kObjectType), a);
    rapidjson::Value value;
    switch (entry.type) {
      case ResourceType::Key: value.SetString(electionKeyBase64("E2026").c_str(), a); break;
      case ResourceType::Text: {
        std::string text = "t";
        for (int i = 1; i <= entry.placeholders; ++i) text += "%" + std::to_string(i) + "%";
        value.SetString(text.c_str(), a);
        break;
      }
      case ResourceType::TextList: value.SetArray().PushBack(rapidjson::Value("x", a), a); break;
      case ResourceType::Questions: value.SetObject().AddMember("Q1", "Question", a); break;
      case ResourceType::Integer: value.SetInt(12); break;
      case ResourceType::Boolean: value.SetBool(true); break;
      case ResourceType::Image: value.SetString("Qk0=", a); break;
      case ResourceType::CertificateList: value.SetArray(); break;
      case ResourceType::Json: value.SetString("{}", a); break;
      case ResourceType::Colour: value.SetUint(0x336699u << 8); break;
      case ResourceType::Period: value.SetString("2026-01-01 - 2027-12-31", a); break;
    }
    doc[entry.group.c_str()].AddMember(rapidjson::Value(entry.key.c_str(), a), value, a);
  }
  return doc;
}

std::string toJson(const rapidjson::Value& value) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  value.Accept(writer);
  return std::string(buffer.GetString(), buffer.GetSize());
}

void ResourcesTest::SetUpTestSuite() {
  registerCatalogue();
}

void ResourcesTest::TearDown() { resetBundle(); }

}  // namespace sorvimend::testing
