#pragma once
// The ballot of one question: the lists of choices of the voter's district, built from the
// voting service's choices document. Built once, never changed afterwards; choices and lists
// keep a reference to their owner, so none of these objects can be copied or moved (a Choice
// held by the voter's selection stays valid as long as its Ballot lives).

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "util/bytes.h"
#include "util/error_info.h"

namespace sorvimend {

class Ballot;
class ChoiceList;

class Choice {
 public:
  Choice(const ChoiceList& list, std::string districtCode, std::string number, std::string name)
      : list_(list), districtCode_(std::move(districtCode)), number_(std::move(number)), name_(std::move(name)) {}
  Choice(const Choice&) = delete;
  Choice& operator=(const Choice&) = delete;

  const ChoiceList& list() const { return list_; }
  const std::string& districtCode() const { return districtCode_; }  // 1 to 10 digits
  const std::string& number() const { return number_; }              // 1 to 11 digits, shown to the voter
  const std::string& name() const { return name_; }
  // districtCode "." number, for example 0482.101.
  std::string identifier() const { return districtCode_ + "." + number_; }

 private:
  const ChoiceList& list_;
  std::string districtCode_;
  std::string number_;
  std::string name_;
};

class ChoiceList {
 public:
  ChoiceList(const Ballot& ballot, std::string name) : ballot_(ballot), name_(std::move(name)) {}
  ChoiceList(const ChoiceList&) = delete;
  ChoiceList& operator=(const ChoiceList&) = delete;

  const Ballot& ballot() const { return ballot_; }
  const std::string& name() const { return name_; }
  const std::vector<std::unique_ptr<Choice>>& choices() const { return choices_; }

  Choice& addChoice(std::string districtCode, std::string number, std::string name);

 private:
  const Ballot& ballot_;
  std::string name_;
  std::vector<std::unique_ptr<Choice>> choices_;
};

class Ballot {
 public:
  Ballot(std::string electionId, std::string questionId, std::string questionTitle, std::string districtId,
         std::string districtName)
      : electionId_(std::move(electionId)),
        questionId_(std::move(questionId)),
        questionTitle_(std::move(questionTitle)),
        districtId_(std::move(districtId)),
        districtName_(std::move(districtName)) {}
  Ballot(const Ballot&) = delete;
  Ballot& operator=(const Ballot&) = delete;

  const std::string& electionId() const { return electionId_; }
  const std::string& questionId() const { return questionId_; }
  const std::string& questionTitle() const { return questionTitle_; }  // empty when the question is unknown
  const std::string& districtId() const { return districtId_; }
  const std::string& districtName() const { return districtName_; }  // empty when not found
  const std::vector<std::unique_ptr<ChoiceList>>& lists() const { return lists_; }

  ChoiceList& addList(std::string name);
  void clearLists() { lists_.clear(); }

 private:
  std::string electionId_;
  std::string questionId_;
  std::string questionTitle_;
  std::string districtId_;
  std::string districtName_;
  std::vector<std::unique_ptr<ChoiceList>> lists_;
};

// Result of reading the choices document; the numbers become the detail of the voter's error.
enum class ChoicesStatus : int {
  Ok = 0,
  NotJson = 6,        // not well-formed JSON (also: empty, or not UTF-8)
  WrongShape = 7,     // root not an object, a list not an object, a choice not a string
  BadIdentifier = 8,  // a choice's name is not 1-10 digits "." 1-11 digits
};

// The name of districtId in the districts text (lines "ID=NAME", split at line feeds, the text
// after the last one being a line too; lines of another form are skipped). Empty when not found.
[[nodiscard]] std::string districtName(std::string_view districtId, std::string_view districtsText);

// Reads the decoded choices document (up to its first zero byte) into the ballot's lists, in
// document order. On any failure the ballot is left without lists.
[[nodiscard]] ChoicesStatus parseChoicesDocument(std::string_view document, Ballot& ballot);

// election "." question ".ballot": the file name of the ballot in the vote container.
[[nodiscard]] std::string ballotName(const Ballot& ballot);

// district code "." number 0x1F list name 0x1F choice name, nothing before or after.
[[nodiscard]] Bytes votePlaintext(const Choice& choice);

// What the bundle says about the election, for building a ballot.
struct BallotSource {
  std::string electionId;
  std::string questionId;
  std::map<std::string, std::string> questions;
  std::string districts;
  std::string errorMessage;  // the message of a failed build
};

// Builds the ballot of districtId from the Base64 choices document. On failure the ballot is
// null and the error has class SYSTEM, the source's message and the status as detail.
[[nodiscard]] ErrorPtr buildBallot(std::string_view districtId, std::string_view choicesBase64,
                                   const BallotSource& source, std::unique_ptr<Ballot>& ballot);

}  // namespace sorvimend
