#include "vote/ballot_resources.h"

#include "resources/resource_access.h"

namespace sorvimend {

BallotSource ballotSourceFromResources() {
  BallotSource source;
  source.electionId = resourceText(ResourceId::RES_APP_ELECTION_ID);
  source.questionId = resourceText(ResourceId::RES_APP_DEFAULT_QUESTION_ID);
  source.questions = resourceQuestions(ResourceId::RES_APP_QUESTIONS);
  source.districts = resourceText(ResourceId::RES_APP_VOTE_DISTRICTS);
  source.errorMessage = resourceText(ResourceId::STR_ERR_ELEC_RES);
  return source;
}

ErrorPtr buildBallotFromResources(std::string_view districtId, std::string_view choicesBase64,
                                  std::unique_ptr<Ballot>& ballot) {
  return buildBallot(districtId, choicesBase64, ballotSourceFromResources(), ballot);
}

}  // namespace sorvimend
