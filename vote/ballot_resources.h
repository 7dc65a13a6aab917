#pragma once
// The bundle's side of a ballot: election, question, question titles, district table and the
// message of a failed build, read from the loaded resources.

#include "vote/ballot.h"

namespace sorvimend {

// ELECTION_ID, DEFAULT_QUESTION_ID, QUESTIONS, VOTE_DISTRICTS and the ELEC_RES message.
[[nodiscard]] BallotSource ballotSourceFromResources();

// buildBallot with the bundle's values: the call the choices operation makes.
[[nodiscard]] ErrorPtr buildBallotFromResources(std::string_view districtId, std::string_view choicesBase64,
                                                std::unique_ptr<Ballot>& ballot);

}  // namespace sorvimend
