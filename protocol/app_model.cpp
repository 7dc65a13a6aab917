#include "protocol/app_model.h"

#include <sys/utsname.h>

#include "resources/resource_access.h"
#include "util/regex.h"

namespace sorvimend {

namespace {

std::unique_ptr<AppModel>& current() {
  static std::unique_ptr<AppModel> model;
  return model;
}

}  // namespace

AppModel* appModel() { return current().get(); }

void registerAppModel(std::unique_ptr<AppModel> model) {
  current().reset();
  current() = std::move(model);
}

std::string AppModel::describeSystem(std::string_view version, std::string_view release) {
  std::string description = "Linux";
  static const Regex distribution(".*(Debian|Ubuntu).*");
  std::vector<std::string> groups;
  if (distribution.fullMatch(version, &groups) && !groups.empty()) description += " " + groups[0];
  description += " ";
  description += release;
  return description;
}

ErrorPtr AppModel::initialise() {
  struct utsname name {};
  systemDescription_ = ::uname(&name) == 0 ? describeSystem(name.version, name.release) : std::string("Linux");

  const std::string questionId = resourceText(ResourceId::RES_APP_DEFAULT_QUESTION_ID);
  const auto questions = resourceQuestions(ResourceId::RES_APP_QUESTIONS);
  if (questions.count(questionId) != 0 && resourcePresent(ResourceId::RES_APP_ELECTION_ID)) {
    electionKey_ = parseElectionKey(resourceText(ResourceId::RES_DATA_PUBLIC_ENC_KEY));
    if (keyMatchesElection(electionKey_, resourceText(ResourceId::RES_APP_ELECTION_ID))) return nullptr;
  }
  return makeError(ErrorClass::System, resourceText(ResourceId::STR_ERR_ELEC_RES));
}

void AppModel::setMethod(int method) {
  method_ = method;
  mobileSession_.setIdentificationMethod(method);
}

void AppModel::setIdentity(std::string voterName, std::string voterCode) {
  voterName_ = std::move(voterName);
  voterCode_ = std::move(voterCode);
}

void AppModel::pick(const Choice& choice) { picks_.emplace(ballotName(choice.list().ballot()), &choice); }

void AppModel::unpick(const Choice& choice) { picks_.erase(ballotName(choice.list().ballot())); }

const Choice* AppModel::pickOf(const Ballot& ballot) const {
  const auto it = picks_.find(ballotName(ballot));
  return it == picks_.end() ? nullptr : it->second;
}

const Choice* AppModel::singlePick() const { return picks_.size() == 1 ? picks_.begin()->second : nullptr; }

std::string AppModel::districtOfPick() const {
  return picks_.empty() ? std::string() : picks_.begin()->second->list().ballot().districtId();
}

std::string AppModel::reviewText(std::string_view mask) const {
  std::string text;
  for (const auto& [name, choice] : picks_) {
    text += fillMask(std::string(mask), {choice->list().ballot().questionTitle(), choice->number(), choice->name(),
                                         choice->list().name()});
  }
  return text;
}

void AppModel::setVerificationText(std::string_view sessionId, std::string_view voteId) {
  verificationText_.assign(sessionId);
  verificationText_ += '\n';
  verificationText_ += randomness_;
  verificationText_ += '\n';
  verificationText_ += voteId;
}

}  // namespace sorvimend
