#include "ui/views/choice_search.h"

#include <FL/fl_utf8.h>

namespace sorvimend {
namespace {

void escapeEvery(std::string& text, char special) {
  std::string out;
  out.reserve(text.size() + 4);
  for (char c : text) {
    if (c == special) out.push_back('\\');
    out.push_back(c);
  }
  text.swap(out);
}

}  // namespace

ChoiceSearch choiceSearchFor(std::string_view text) {
  ChoiceSearch search;
  search.escaped.assign(text.data(), text.size());
  for (char special : {'.', '*', '?', '+'}) escapeEvery(search.escaped, special);
  search.characters = fl_utf_nb_char(reinterpret_cast<const unsigned char*>(search.escaped.data()),
                                     static_cast<int>(search.escaped.size()));
  if (search.characters >= 2) search.pattern = "^.*" + search.escaped + ".*$";
  return search;
}

}  // namespace sorvimend
