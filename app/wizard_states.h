#pragma once
// Every state of the wizard, made fresh for each visit. Paths:
//   ID card: authentication choice, ID-card authentication, introduction, choice, review,
//            ID-card vote, done.
//   Mobile-ID, Smart-ID: authentication choice, identifier entry, mobile authentication, choices,
//            introduction, choice, review, certificate, signing, mobile vote, done.
// Every failure of an operation leads to the error state, which only lets the voter close.

#include "app/session_state.h"

namespace sorvimend {

[[nodiscard]] StatePtr makeAuthChoiceState();
[[nodiscard]] StatePtr makeIdentifierEntryState();
[[nodiscard]] StatePtr makeIntroState();
[[nodiscard]] StatePtr makeChoiceState();
[[nodiscard]] StatePtr makeNextQuestionState();
[[nodiscard]] StatePtr makeReviewState();
[[nodiscard]] StatePtr makeDoneState();
// Shows the record; with a retry state the retry button leads there.
[[nodiscard]] StatePtr makeErrorState(ErrorPtr error, StatePtr retry = nullptr);

// Operation states.
[[nodiscard]] StatePtr makeCardAuthState();
[[nodiscard]] StatePtr makeMobileAuthState();
[[nodiscard]] StatePtr makeChoicesState();
[[nodiscard]] StatePtr makeCertificateState();
[[nodiscard]] StatePtr makeSigningState();
[[nodiscard]] StatePtr makeMobileVoteState();
[[nodiscard]] StatePtr makeCardVoteState();

}  // namespace sorvimend
