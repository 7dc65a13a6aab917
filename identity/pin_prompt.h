#pragma once
// How the ID card asks the voter for a PIN. The user interface implements it with its PIN
// dialogs; tests script it. Login drives begin, ask, pin, pinLength and end, in that order, and
// calls end on every outcome.

#include <cstddef>
#include <string>
#include <string_view>

#include "identity/certificate_info.h"
#include "util/bytes.h"

namespace sorvimend {

// The PIN as entered, for prompts to hold it in: its bytes are wiped whenever it is replaced or
// forgotten and when it goes. Not copyable: a copy would be one more place to wipe.
class PinBuffer {
 public:
  PinBuffer() = default;
  ~PinBuffer() { clear(); }
  PinBuffer(const PinBuffer&) = delete;
  PinBuffer& operator=(const PinBuffer&) = delete;

  void assign(std::string_view pin) {
    clear();  // before a reallocation can free the old bytes unwiped
    bytes_.assign(pin.data(), pin.size());
  }
  void clear() noexcept { secureWipe(bytes_); }

  const unsigned char* data() const { return asUnsigned(bytes_); }
  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }

 private:
  std::string bytes_;
};

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
  // Closes the prompt. The PIN's bytes must be wiped here (keep them in a PinBuffer): the card
  // passes them straight to the module, keeps no copy, and nothing may log them.
  virtual void end() = 0;

  virtual ~PinPrompt() = default;
};

}  // namespace sorvimend
