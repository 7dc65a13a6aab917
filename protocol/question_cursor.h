#pragma once
// Which question is current and the Ballot the choices operation built for it. This election has
// one question, so the cursor never moves past it; the multi-question flag stays cleared.

#include <cstdint>
#include <memory>

#include "vote/ballot.h"

namespace sorvimend {

class QuestionCursor {
 public:
  virtual ~QuestionCursor() = default;
  virtual void nextQuestion() = 0;
  virtual void previousQuestion() = 0;
  [[nodiscard]] virtual std::uint64_t count() const = 0;
  [[nodiscard]] virtual bool isFirst() const = 0;
  [[nodiscard]] virtual bool isLast() const = 0;
  // Takes ownership; a ballot set before is destroyed.
  virtual void setBallot(std::unique_ptr<Ballot> ballot) = 0;
  // The current ballot, or null before the choices have arrived.
  [[nodiscard]] virtual const Ballot* ballot() const = 0;
  [[nodiscard]] virtual bool multiQuestion() const = 0;
};

class SingleQuestionCursor final : public QuestionCursor {
 public:
  explicit SingleQuestionCursor(bool multiQuestion = false) : multiQuestion_(multiQuestion) {}
  void nextQuestion() override {
    if (index_ + 1 < count()) ++index_;
  }
  void previousQuestion() override {
    if (index_ > 0) --index_;
  }
  std::uint64_t count() const override { return 1; }
  bool isFirst() const override { return index_ == 0; }
  bool isLast() const override { return index_ + 1 == count(); }
  void setBallot(std::unique_ptr<Ballot> ballot) override { ballot_ = std::move(ballot); }
  const Ballot* ballot() const override { return ballot_.get(); }
  bool multiQuestion() const override { return multiQuestion_; }

 private:
  std::uint64_t index_ = 0;
  std::unique_ptr<Ballot> ballot_;
  bool multiQuestion_;
};

// The process-wide cursor; registering a new one destroys the one held before.
[[nodiscard]] QuestionCursor* questionCursor();
void registerQuestionCursor(std::unique_ptr<QuestionCursor> cursor);

}  // namespace sorvimend
