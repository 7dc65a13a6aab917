#pragma once
// The rounded box that shows the picked choice: its number in a badge and a description below
// it, or a text saying that nothing is chosen yet. A title stands in a strip above the box. A long
// description is shrunk one text size at a time until it fits without scrollbars.

#include <string>

#include <FL/Fl_Group.H>

#include "ui/rich_text_view.h"

namespace sorvimend {

struct ChoiceBoxStyle {
  std::string title;
  std::string noSelectionText;
  int numberSize = 40;
  int titleSize = 14;
  int descriptionSize = 14;  // the start size of a description
  int noSelectionSize = 14;
  Fl_Color background = FL_GRAY;
  Fl_Color badge = FL_BLUE;
};

// The style from the resources (fetched anew each call).
[[nodiscard]] ChoiceBoxStyle choiceBoxStyleFromResources();

class ChoiceBox : public Fl_Group {
 public:
  static constexpr int titleStrip = 32;
  static constexpr int numberArea = 82;

  ChoiceBox(int x, int y, int w, int h, ChoiceBoxStyle style);

  void showChoice(const std::string& number, const std::string& description);
  void showNothing();

  [[nodiscard]] const std::string& number() const { return number_; }
  [[nodiscard]] RichTextView& description() { return text_; }

 protected:
  void draw() override;

 private:
  ChoiceBoxStyle style_;
  std::string number_;
  RichTextView text_;
};

}  // namespace sorvimend
