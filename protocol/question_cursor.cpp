#include "protocol/question_cursor.h"

namespace sorvimend {

namespace {
std::unique_ptr<QuestionCursor>& current() {
  static std::unique_ptr<QuestionCursor> cursor;
  return cursor;
}
}  // namespace

QuestionCursor* questionCursor() { return current().get(); }

void registerQuestionCursor(std::unique_ptr<QuestionCursor> cursor) {
  current().reset();
  current() = std::move(cursor);
}

}  // namespace sorvimend
