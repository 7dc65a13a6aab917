#pragma once
// What one search text means for the choice list. A text of one character does not filter (too
// many choices would match); from two characters on, an item matches when it contains the text,
// caselessly. Only ".", "*", "?" and "+" are escaped, so other pattern operators in the text keep
// their meaning, and a text that does not form a pattern matches nothing.

#include <string>
#include <string_view>

namespace sorvimend {

struct ChoiceSearch {
  std::string escaped;  // the text with ".", "*", "?" and "+" escaped
  int characters = 0;   // UTF-8 characters of the escaped text
  std::string pattern;  // empty when the search does not filter
};

[[nodiscard]] ChoiceSearch choiceSearchFor(std::string_view text);

}  // namespace sorvimend
