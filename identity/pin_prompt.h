#pragma once
// How the ID card asks the voter for a PIN. The user interface implements it with its PIN
// dialogs; tests script it. Login drives begin, ask, pin, pinLength and end, in that order, and
// calls end on every outcome.

#include <cstddef>

#include "identity/certificate_info.h"

namespace sorvimend {

class PinPrompt {
 public:
  // Prepares the pinpad notice (the reader takes the PIN itself) or the PIN entry dialog.
  virtual void begin(bool pinpad) = 0;
  // Shows the prompt for this certificate (its usage says PIN1 or PIN2) and waits. retry is true
  // when the previous PIN was wrong. ok becomes false when the voter cancels.
  virtual void ask(const CertificateInfo& certificate, bool& ok, bool retry) = 0;
  // Lets a pinpad notice animate while the reader waits; nothing for the entry dialog.
  virtual void tick() = 0;
  // The PIN entered at the last ask; null and 0 on a pinpad.
  virtual const unsigned char* pin() const = 0;
  virtual std::size_t pinLength() const = 0;
  // Closes the prompt. The PIN's bytes must be wiped here (util/bytes.h secureWipe): the card
  // keeps no copy of them, and nothing may log them.
  virtual void end() = 0;

  virtual ~PinPrompt() = default;
};

}  // namespace sorvimend
