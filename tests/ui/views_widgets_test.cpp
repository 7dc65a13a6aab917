// The stand-alone widgets of the views: input filters, the search pattern, the QR code, and the
// linked and search inputs driven by real key presses in a private X server.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>

#include "tests/ui/views_display.h"
#include "ui/views/choice_search.h"
#include "ui/views/input_filter.h"
#include "ui/views/linked_input.h"
#include "ui/views/qr_code_box.h"
#include "ui/views/qr_xpm.h"
#include "ui/views/search_input.h"
#include "util/regex.h"

namespace sorvimend {
namespace {

using testing::requireDisplay;

TEST(InputFilter, PhoneAndCodePatterns) {
  struct Case {
    const char* text;
    bool phone;
    bool code;
  };
  const Case cases[] = {
      {"", true, true},
      {"+", true, false},
      {"+372", true, false},
      {"+37255512345", true, false},   // plus and 11 digits
      {"+372555123456", false, false},  // plus and 12 digits
      {"++372", false, false},
      {"5551234567", true, true},     // ten digits, no plus
      {"37255512345", true, true},    // eleven digits
      {"372555123456", true, false},  // a leading digit and 11 more for the phone; 12 for a code
      {"3725551234567", false, false},
      {"3a", false, false},
      {"12345+", false, false},
      {"123\n", false, false},
      {"\xD9\xA3", false, false},  // an Arabic-Indic digit is no digit here
  };
  for (const Case& c : cases) {
    EXPECT_EQ(phoneTextAccepted(c.text), c.phone) << c.text;
    EXPECT_EQ(personalCodeTextAccepted(c.text), c.code) << c.text;
  }
}

TEST(InputFilter, RefusedTextPutsBackTheLastAccepted) {
  std::string last = "3850";
  EXPECT_EQ(filterInput("38501", last, personalCodeTextAccepted), "38501");
  EXPECT_EQ(last, "38501");
  EXPECT_EQ(filterInput("38501x", last, personalCodeTextAccepted), "38501");
  EXPECT_EQ(last, "38501");
}

TEST(ChoiceSearch, EscapingCountingAndPattern) {
  struct Case {
    const char* text;
    const char* escaped;
    int characters;
    const char* pattern;
  };
  const Case cases[] = {
      {"", "", 0, ""},
      {"a", "a", 1, ""},
      {"\xC3\xB5", "\xC3\xB5", 1, ""},  // one letter of two bytes still does not filter
      {".", "\\.", 2, "^.*\\..*$"},
      {"ma", "ma", 2, "^.*ma.*$"},
      {"a*?+.", "a\\*\\?\\+\\.", 9, "^.*a\\*\\?\\+\\..*$"},
      {"(x", "(x", 2, "^.*(x.*$"},
  };
  for (const Case& c : cases) {
    const ChoiceSearch search = choiceSearchFor(c.text);
    EXPECT_EQ(search.escaped, c.escaped) << c.text;
    EXPECT_EQ(search.characters, c.characters) << c.text;
    EXPECT_EQ(search.pattern, c.pattern) << c.text;
  }
}

TEST(ChoiceSearch, MatchesCaselesslyAndLiterally) {
  const Regex::Options caseless{true, true};
  const Regex dot(choiceSearchFor(".").pattern, caseless);
  EXPECT_TRUE(dot.fullMatch("101 J. Tamm"));
  EXPECT_FALSE(dot.fullMatch("101 Jaan Tamm"));
  const Regex letters(choiceSearchFor("\xC3\x95IE").pattern, caseless);  // "ÕIE"
  EXPECT_TRUE(letters.fullMatch("102 Mari \xC3\xB5ied"));                 // "Mari õied"
  const Regex number(choiceSearchFor("102").pattern, caseless);
  EXPECT_TRUE(number.fullMatch("102 Mari"));
  EXPECT_FALSE(number.fullMatch("103 Mari"));
  const Regex broken(choiceSearchFor("(ma").pattern, caseless);
  EXPECT_FALSE(broken.ok());
  EXPECT_FALSE(broken.fullMatch("(ma"));
}

TEST(QrXpm, LinesAndScale) {
  EXPECT_FALSE(qrXpmFor("").has_value());
  EXPECT_FALSE(qrXpmFor(std::string("ab\0cd", 5)).has_value());
  EXPECT_FALSE(qrXpmFor(std::string(5000, 'a')).has_value());  // beyond the largest symbol

  const std::optional<QrXpm> small = qrXpmFor("hello");
  ASSERT_TRUE(small.has_value());
  EXPECT_EQ(small->modules, 21);
  EXPECT_EQ(small->pixels, 63);
  ASSERT_EQ(small->lines.size(), 3u + 63u);
  EXPECT_EQ(small->lines[0], "63 63 2 1");
  EXPECT_EQ(small->lines[1], "x c #000000");
  EXPECT_EQ(small->lines[2], "+ c #ffffff");
  for (std::size_t i = 3; i < small->lines.size(); ++i) {
    ASSERT_EQ(small->lines[i].size(), 63u);
    EXPECT_EQ(small->lines[i].find_first_not_of("x+"), std::string::npos);
  }
  // Each module is a 3 x 3 block; the finder pattern's corner module is dark.
  EXPECT_EQ(small->lines[3], small->lines[5]);
  EXPECT_EQ(small->lines[3].substr(0, 3), "xxx");

  // Lowest-case letters force 8-bit data; find the lengths that give versions 13 and 14.
  int seen69 = 0;
  int seen73 = 0;
  for (std::size_t length = 200; length < 330 && (seen69 == 0 || seen73 == 0); ++length) {
    const std::optional<QrXpm> xpm = qrXpmFor(std::string(length, 'q'));
    ASSERT_TRUE(xpm.has_value());
    if (xpm->modules == 69) {
      seen69 = xpm->pixels;
    } else if (xpm->modules == 73) {
      seen73 = xpm->pixels;
    }
  }
  EXPECT_EQ(seen69, 207);
  EXPECT_EQ(seen73, 146);
}

class WidgetWindow : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(requireDisplay()); }
  void TearDown() override {
    if (window_) window_->hide();
    window_.reset();
    testing::settle(0.05);
  }

  Fl_Double_Window& window(int w, int h) {
    window_ = std::make_unique<Fl_Double_Window>(0, 0, w, h, "views test");
    window_->color(FL_WHITE);
    return *window_;
  }

  std::unique_ptr<Fl_Double_Window> window_;
};

// A button whose callback counts presses, standing for the submit button of the view.
struct CountingButton : Fl_Button {
  CountingButton(int x, int y, int w, int h) : Fl_Button(x, y, w, h, "OK") {
    callback([](Fl_Widget*, void* self) { ++static_cast<CountingButton*>(self)->presses; }, this);
  }
  int handle(int event) override {
    if (event == FL_KEYBOARD && isSubmitKey(Fl::event_key())) {
      if (active()) do_callback();
      return 1;
    }
    return Fl_Button::handle(event);
  }
  int presses = 0;
};

TEST_F(WidgetWindow, LinkedInputFiltersKeysAndSendsEnterToItsButton) {
  Fl_Double_Window& win = window(400, 200);
  auto* button = new CountingButton(250, 120, 100, 40);
  auto* phone = new LinkedInput(100, 20, 200, 40, "Phone", button);
  auto* code = new LinkedInput(100, 70, 200, 40, "Code", button);
  win.end();

  struct Model {
    std::string phone;
    std::string code;
  } model;
  phone->callback(
      [](Fl_Widget* w, void* data) {
        auto* field = static_cast<LinkedInput*>(w);
        auto& m = *static_cast<Model*>(data);
        field->value(filterInput(field->value(), m.phone, phoneTextAccepted).c_str());
      },
      &model);
  code->callback(
      [](Fl_Widget* w, void* data) {
        auto* field = static_cast<LinkedInput*>(w);
        auto& m = *static_cast<Model*>(data);
        field->value(filterInput(field->value(), m.code, personalCodeTextAccepted).c_str());
      },
      &model);
  phone->prefix("+372");
  button->deactivate();
  win.show();
  testing::settle();

  // Focusing the phone field selects what follows the prefix: typing replaces it.
  testing::click(win, 150, 80);  // the code field first, so that focusing the phone field is a change
  testing::click(win, 150, 40);
  EXPECT_EQ(std::string(phone->value()), "+372");
  EXPECT_EQ(phone->position(), 4);
  testing::type("5551234");
  EXPECT_EQ(std::string(phone->value()), "+3725551234");
  EXPECT_EQ(model.phone, "+3725551234");
  testing::type("x");
  EXPECT_EQ(std::string(phone->value()), "+3725551234");
  testing::type("5678");  // the twelfth digit after the plus is refused
  EXPECT_EQ(std::string(phone->value()), "+37255512345");

  // Shorter than the prefix: focusing brings the prefix back, and the model follows.
  phone->value("+37");
  model.phone = "+37";
  testing::click(win, 150, 80);
  testing::click(win, 150, 40);
  EXPECT_EQ(std::string(phone->value()), "+372");
  EXPECT_EQ(model.phone, "+372");

  testing::click(win, 150, 80);
  testing::type("3850101a0");
  EXPECT_EQ(std::string(code->value()), "38501010");
  testing::type("1234");
  EXPECT_EQ(std::string(code->value()), "38501010123");
  testing::key("Return space KP_Enter");
  EXPECT_EQ(button->presses, 0);  // the button is disabled
  EXPECT_EQ(std::string(code->value()), "38501010123");
  button->activate();
  testing::key("Return");
  testing::key("KP_Enter");
  EXPECT_EQ(button->presses, 2);
}

TEST_F(WidgetWindow, SearchInputPlaceholder) {
  Fl_Double_Window& win = window(400, 120);
  auto* search = new SearchInput(20, 20, 300, 40, "Otsi");
  auto* other = new Fl_Button(20, 70, 100, 40, "other");
  win.end();
  int changes = 0;
  search->callback([](Fl_Widget*, void* n) { ++*static_cast<int*>(n); }, &changes);
  win.show();
  testing::settle();

  EXPECT_TRUE(search->showingPlaceholder());
  EXPECT_EQ(std::string(search->value()), "Otsi");
  EXPECT_EQ(search->searchText(), "");

  testing::click(win, 100, 40);
  EXPECT_FALSE(search->showingPlaceholder());
  EXPECT_EQ(std::string(search->value()), "");
  testing::type("Ma");
  EXPECT_EQ(search->searchText(), "Ma");
  EXPECT_EQ(changes, 2);

  // The arrow keys are not the field's.
  Fl::focus(search);
  EXPECT_EQ(Fl::handle(FL_KEYBOARD, &win) != 0 && Fl::event_key() == FL_Down, false);

  search->searchText("");
  EXPECT_TRUE(search->showingPlaceholder());
  testing::click(win, 100, 40);
  other->take_focus();
  testing::settle();
  EXPECT_TRUE(search->showingPlaceholder());
  EXPECT_EQ(std::string(search->value()), "Otsi");
}

TEST_F(WidgetWindow, QrCodeBoxReadsBackAndKeepsItsRightEdge) {
  std::string shortText = "c1f5e3a4b2d94f6c\nq3mXUcRzK4b8pLw9aD0sYh2TnVe6GjQ1/ZoKfMxNr+I=\n9e2b6c1d-4f7a-4c3e-8b1a-2d5f6e7a8b9c";
  std::string longText = shortText;
  while (qrXpmFor(longText)->modules < 70) longText += "\nABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+/=";

  for (const std::string* text : {&shortText, &longText}) {
    Fl_Double_Window& win = window(1024, 600);
    auto* box = new QrCodeBox(964, 136, fl_rgb_color(0xF0, 0xF0, 0xF0));
    win.end();
    win.show();
    box->text(*text);
    const int expected = qrXpmFor(*text)->pixels;
    EXPECT_EQ(box->imageSize(), expected);
    EXPECT_EQ(box->x() + box->w(), 964);
    EXPECT_EQ(box->w(), expected + 46);
    EXPECT_EQ(box->h(), expected + 46);
    const std::string shot = testing::screenshot(win, text == &shortText ? "qr-short" : "qr-long");
    EXPECT_EQ(testing::shellOutput("zbarimg --nodbus --raw -q " + shot), *text + "\n");
    TearDown();
  }
  // Replacing a code keeps the edge, and a text that cannot be encoded leaves only the frame.
  Fl_Double_Window& win = window(1024, 600);
  auto* box = new QrCodeBox(964, 136, FL_GRAY);
  win.end();
  box->text(longText);
  box->text(shortText);
  EXPECT_EQ(box->x() + box->w(), 964);
  box->text("");
  EXPECT_EQ(box->imageSize(), 0);
  EXPECT_EQ(box->x() + box->w(), 964);
  EXPECT_EQ(box->w(), 46);
}

}  // namespace
}  // namespace sorvimend
