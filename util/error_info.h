#pragma once
// The one record every failure travels in, from where it happens to the error view.
// Lower layers return small integer codes; the operation that meets one wraps it here.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace sorvimend {

// Where the fault lies, as shown to the voter. The numbers reach the technical error code.
enum class ErrorClass : std::int32_t {
  System = 1,
  Internal = 2,
  Network = 3,
  Server = 4,
  Protocol = 5,
  Verify = 6,
  Id = 7,
  Environment = 8,
};

// Never changed after construction. Derived kinds (the ID-card error) choose their own message.
class ErrorInfo {
 public:
  explicit ErrorInfo(ErrorClass errorClass, std::string message = {}, std::uint64_t detail = 0,
                     std::uint64_t extra = 0)
      : ErrorInfo(static_cast<std::int32_t>(errorClass), std::move(message), detail, extra) {}
  ErrorInfo(ErrorClass errorClass, std::uint64_t detail) : ErrorInfo(errorClass, std::string(), detail) {}
  // Any class number, also outside 1..8 (shown with the INTERNAL name, its own number in the code).
  ErrorInfo(std::int32_t rawClass, std::string message, std::uint64_t detail, std::uint64_t extra)
      : message_(std::move(message)), class_(rawClass), detail_(detail), extra_(extra) {}
  virtual ~ErrorInfo() = default;

  ErrorInfo(const ErrorInfo&) = delete;
  ErrorInfo& operator=(const ErrorInfo&) = delete;

  const std::string& message() const { return message_; }
  std::int32_t errorClass() const { return class_; }
  std::uint64_t detail() const { return detail_; }
  std::uint64_t extra() const { return extra_; }

 private:
  std::string message_;
  std::int32_t class_;
  std::uint64_t detail_;
  std::uint64_t extra_;
};

// Empty on success; otherwise the caller owns the failure.
using ErrorPtr = std::unique_ptr<ErrorInfo>;

template <class... Args>
[[nodiscard]] ErrorPtr makeError(Args&&... args) {
  return std::make_unique<ErrorInfo>(std::forward<Args>(args)...);
}

}  // namespace sorvimend
