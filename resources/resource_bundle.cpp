#include "resources/resource_bundle.h"

#include <string>

#include "resources/bundle_storage.h"
#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"
#include "resources/resource_validator.h"
#include "resources/scrambler.h"

namespace sorvimend {
namespace {

// The loader's messages, byte for byte.
constexpr char kUnconfigured[] = "Rakenduse tööks vajalikud ressursid on seadistamata ";
constexpr char kUnknown[] = "Tundmatu ressurss: ";
constexpr char kInvalid[] = "Vigaste andmetega ressurss ";

rapidjson::Document& document() {
  static rapidjson::Document doc(rapidjson::kObjectType);
  return doc;
}

ErrorPtr failure(std::string message) { return makeError(ErrorClass::Internal, std::move(message)); }

ErrorPtr unconfigured(int number) { return failure(kUnconfigured + ("(" + std::to_string(number) + ").")); }

ErrorPtr missing(int number, const CatalogueEntry& entry) {
  return failure(kUnconfigured + ("(" + std::to_string(number) + ") (" + entry.group + " " + entry.key + ")."));
}

std::string nameOf(const rapidjson::Value& name) { return std::string(name.GetString(), name.GetStringLength()); }

// Every member of every group, in document order: known by full name, and accepted by its
// type's validator. A key given twice is checked twice; the accessors read the first.
ErrorPtr checkStructure(const rapidjson::Value& root) {
  const ResourceCatalogue& catalogue = resourceCatalogue();
  const ValidatorRegistry& validators = validatorRegistry();
  for (const auto& group : root.GetObject()) {
    if (!group.value.IsObject()) return unconfigured(1);
    for (const auto& member : group.value.GetObject()) {
      const std::string fullName = nameOf(group.name) + "_" + nameOf(member.name);
      const CatalogueEntry* entry = catalogue.entry(catalogue.idOfFullName(fullName));
      if (entry == nullptr) return failure(kUnknown + fullName);
      const ResourceValidator* validator = validators.find(entry->type);
      if (validator == nullptr || !validator->validate(*entry, member.value)) {
        return failure(kInvalid + fullName + ".");
      }
    }
  }
  return nullptr;
}

// Every catalogue entry in ascending id order: its group must be there, and its key unless the
// entry is optional.
ErrorPtr checkPresence(const rapidjson::Value& root) {
  for (const auto& [id, entry] : resourceCatalogue().entries()) {
    auto group = root.FindMember(rapidjson::StringRef(entry.group.data(), entry.group.size()));
    if (group == root.MemberEnd()) return missing(2, entry);
    // A group that is not an object was refused by the structure pass.
    if (!entry.optional && !group->value.HasMember(rapidjson::StringRef(entry.key.data(), entry.key.size()))) {
      return missing(3, entry);
    }
  }
  return nullptr;
}

ErrorPtr load(std::string_view text) {
  resetBundle();
  // A zero byte ends the text; whatever follows the root value is padding.
  text = text.substr(0, text.find('\0'));
  rapidjson::Document parsed;
  // Iterative parsing: a deeply nested value must not exhaust the stack.
  parsed.Parse<rapidjson::kParseStopWhenDoneFlag | rapidjson::kParseIterativeFlag>(text.data(), text.size());
  if (parsed.HasParseError()) return unconfigured(5);
  // Any root other than an object has no groups to read: treated like a group that is no object.
  if (!parsed.IsObject()) return unconfigured(1);
  if (auto error = checkStructure(parsed)) return error;
  if (auto error = checkPresence(parsed)) return error;
  document().Swap(parsed);
  return nullptr;
}

}  // namespace

const rapidjson::Document& bundleDocument() { return document(); }

void resetBundle() {
  rapidjson::Document& doc = document();
  doc.SetObject();
  // Give back the memory of the previous bundle, not only its members.
  rapidjson::Document empty(rapidjson::kObjectType);
  doc.Swap(empty);
}

ErrorPtr loadBundleText(std::string_view json) { return load(json); }

ErrorPtr loadScrambledBundle(std::string_view scrambled) {
  Bytes plain = scrambleBytes(scrambled, ScrambleMode::Unscramble);
  return load(plain);
}

ErrorPtr loadBundle() { return loadScrambledBundle(embeddedBundleBytes()); }

}  // namespace sorvimend
