#include "vote/ballot.h"

#include <rapidjson/document.h>
#include <rapidjson/error/error.h>

#include "util/base64.h"
#include "util/regex.h"

namespace sorvimend {

Choice& ChoiceList::addChoice(std::string districtCode, std::string number, std::string name) {
  choices_.push_back(std::make_unique<Choice>(*this, std::move(districtCode), std::move(number), std::move(name)));
  return *choices_.back();
}

ChoiceList& Ballot::addList(std::string name) {
  lists_.push_back(std::make_unique<ChoiceList>(*this, std::move(name)));
  return *lists_.back();
}

std::string districtName(std::string_view districtId, std::string_view districtsText) {
  static const Regex line(R"((\d{1,10}\.\d{1,10})=(.*))");
  std::vector<std::string> groups;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = districtsText.find('\n', start);
    const std::string_view current =
        districtsText.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    // The rebuilt line guards against a match that ends early at an invalid UTF-8 byte.
    if (line.fullMatch(current, &groups) && groups.size() == 2 && groups[0] == districtId &&
        groups[0].size() + 1 + groups[1].size() == current.size()) {
      return groups[1];
    }
    if (end == std::string_view::npos) return {};
    start = end + 1;
  }
}

namespace {

ChoicesStatus fillLists(const rapidjson::Value& root, Ballot& ballot) {
  static const Regex identifier(R"((\d{1,10})\.(\d{1,11}))");
  if (!root.IsObject()) return ChoicesStatus::WrongShape;
  std::vector<std::string> groups;
  for (const auto& list : root.GetObject()) {
    if (!list.value.IsObject()) return ChoicesStatus::WrongShape;
    ChoiceList& choiceList =
        ballot.addList(std::string(list.name.GetString(), list.name.GetStringLength()));
    for (const auto& choice : list.value.GetObject()) {
      if (!choice.value.IsString()) return ChoicesStatus::WrongShape;
      const std::string_view key(choice.name.GetString(), choice.name.GetStringLength());
      if (!identifier.fullMatch(key, &groups) || groups.size() != 2 ||
          groups[0].size() + 1 + groups[1].size() != key.size()) {
        return ChoicesStatus::BadIdentifier;
      }
      choiceList.addChoice(groups[0], groups[1],
                           std::string(choice.value.GetString(), choice.value.GetStringLength()));
    }
  }
  return ChoicesStatus::Ok;
}

}  // namespace

ChoicesStatus parseChoicesDocument(std::string_view document, Ballot& ballot) {
  ballot.clearLists();
  const std::size_t zero = document.find('\0');
  if (zero != std::string_view::npos) document = document.substr(0, zero);

  // Iterative parsing: a deeply nested document from the service must not exhaust the stack.
  rapidjson::Document json;
  json.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag>(document.data(),
                                                                                      document.size());
  if (json.HasParseError()) return ChoicesStatus::NotJson;
  const ChoicesStatus status = fillLists(json, ballot);
  if (status != ChoicesStatus::Ok) ballot.clearLists();
  return status;
}

std::string ballotName(const Ballot& ballot) { return ballot.electionId() + "." + ballot.questionId() + ".ballot"; }

Bytes votePlaintext(const Choice& choice) {
  constexpr char kUnitSeparator = '\x1F';
  Bytes plaintext = choice.districtCode();
  plaintext += '.';
  plaintext += choice.number();
  plaintext += kUnitSeparator;
  plaintext += choice.list().name();
  plaintext += kUnitSeparator;
  plaintext += choice.name();
  return plaintext;
}

ErrorPtr buildBallot(std::string_view districtId, std::string_view choicesBase64, const BallotSource& source,
                     std::unique_ptr<Ballot>& ballot) {
  ballot.reset();
  const auto question = source.questions.find(source.questionId);
  auto built = std::make_unique<Ballot>(source.electionId, source.questionId,
                                        question == source.questions.end() ? std::string() : question->second,
                                        std::string(districtId), districtName(districtId, source.districts));
  const ChoicesStatus status = parseChoicesDocument(base64Decode(choicesBase64), *built);
  if (status != ChoicesStatus::Ok) {
    return makeError(ErrorClass::System, source.errorMessage, static_cast<std::uint64_t>(status));
  }
  ballot = std::move(built);
  return nullptr;
}

}  // namespace sorvimend
