// The framework drawn in a real X server: rich text, roadmap, buttons, keyboard, busy state,
// waiting animation. Screenshots land in SV_BUILD_DIR/screenshots.

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"
#include "tests/ui/x_server.h"
#include "ui/action_button.h"
#include "ui/bmp_image.h"
#include "ui/main_window.h"
#include "ui/rich_text_view.h"
#include "ui/view_manager.h"
#include "ui/wait_animation.h"

namespace sorvimend {
namespace {

const bool kServer = (testing::useXServer(), true);

constexpr Fl_Color kRed = 0xE0301E00;
constexpr Fl_Color kGreen = 0x2E9E4A00;
constexpr Fl_Color kBlue = 0x1F5FBF00;
constexpr Fl_Color kGrey = 0x9AA3AE00;
constexpr Fl_Color kOrange = 0xF0901000;

std::uint32_t rgb(Fl_Color c) { return testing::rgbOf(c); }

class Framework : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(testing::xDisplay().empty());
    Fl_Group::current(nullptr);
  }
};

const char* const kDocument =
    "<h1>Valimised 2027</h1>"
    "<p>Tekst <b>rasvases</b>, <i>kaldkirjas</i>, <u>allajoonitud</u> ja <font color=#C02020 size=+1>punasena</font>; "
    "olemid: &amp; &lt;&gt; &euro; &#8364; &copy; &auml;&ouml;&uuml;&otilde; &frac12; &#x41;.</p>"
    "<h3>Nimekiri</h3>"
    "<ul><li>esimene punkt<li>teine punkt, <code>kood</code><li>kolmas</ul>"
    "<table border=1 bgcolor=#F4F7FB><tr><th>Nr</th><th>Kandidaat</th><th>Erakond</th></tr>"
    "<tr><td bgcolor=#DDEEFF>101</td><td>Mari Maasikas</td><td bgcolor=#FFE8CC>Vaarikad</td></tr>"
    "<tr><td>102</td><td>Jaan Jaanikas</td><td>Mustikad</td></tr></table>"
    "<center>keskel</center>"
    "<p>Pikk_s&otilde;na_mis_ei_mahu_kuidagi_&uuml;hele_reale_ja_teeb_horisontaalse_kerimisriba</p>";

TEST_F(Framework, RichTextDocumentLooksRight) {
  Fl_Double_Window window(460, 320, "rich text");
  window.color(FL_WHITE);
  RichTextView view(10, 10, 440, 300);
  window.end();
  view.box(FL_FLAT_BOX);
  view.color(FL_WHITE);
  view.textsize(14);
  view.value(kDocument);
  window.show();
  testing::pump(0.3);

  EXPECT_TRUE(view.horizontalScrollbarVisible());  // the long word
  EXPECT_TRUE(view.verticalScrollbarVisible());
  const richtext::Layout& layout = view.currentLayout();
  EXPECT_GT(layout.restarts, 0);

  testing::Picture shot = testing::capture(window);
  testing::savePng(shot, "rich_text_document");
  // Every cell with its own colour is filled with it; the table's border is drawn around cells.
  int coloured = 0;
  for (const richtext::Block& b : layout.blocks) {
    if (!b.cell) continue;
    int sx = view.x() + b.x + 2;
    int sy = view.y() + b.y + b.h - 3 - view.topline();
    if (sy >= view.y() + view.h() - 20) continue;
    EXPECT_EQ(shot.at(view.x() + b.x, sy), rgb(FL_FOREGROUND_COLOR)) << "border";
    if (b.background == 0xDDEEFF00 || b.background == 0xFFE8CC00) {
      EXPECT_EQ(shot.at(sx, sy), rgb(static_cast<Fl_Color>(b.background)));
      ++coloured;
    }
  }
  EXPECT_EQ(coloured, 2);

  // Scrolled to the end, the view still draws inside its box.
  view.topline(100000);
  view.leftline(100000);
  EXPECT_GT(view.topline(), 0);
  EXPECT_GT(view.leftline(), 0);
  testing::pump(0.1);
  testing::savePng(testing::capture(window), "rich_text_scrolled");
}

struct Stages {
  Fl_Double_Window window{800, 60, "roadmap"};
  RoadmapBar bar{20, 10, 754, 44, kGreen, kBlue, kGrey, 14};
  Stages() {
    window.end();
    window.color(FL_WHITE);
    for (const char* label : {"Tuvastamine", "Valiku tegemine", "Kinnitamine", "Allkirjastamine"}) bar.addStage(label);
    window.show();
  }
};

TEST_F(Framework, RoadmapStagesHaveTheirColours) {
  Stages s;
  struct Case {
    int stage;
    std::vector<char> kinds;  // p passed, c current, f future
  };
  const Case cases[] = {{0, {'c', 'f', 'f', 'f'}}, {3, {'p', 'p', 'p', 'c'}}, {4, {'p', 'p', 'p', 'p'}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stage);
    s.bar.stage(c.stage);
    s.window.redraw();
    testing::pump(0.2);
    testing::Picture shot = testing::capture(s.window);
    testing::savePng(shot, "roadmap_stage_" + std::to_string(c.stage));
    ASSERT_TRUE(s.bar.measured());
    const int top = s.bar.y();
    for (std::size_t i = 0; i < 4; ++i) {
      const int cx = s.bar.stageCentre(i);
      switch (c.kinds[i]) {
        case 'p':
          EXPECT_EQ(shot.at(cx, top + 17), rgb(kGreen)) << "disc of stage " << i;
          EXPECT_EQ(shot.at(cx - 2, top + 13), rgb(FL_WHITE)) << "tick of stage " << i;
          break;
        case 'c':
          EXPECT_EQ(shot.at(cx - 7, top + 11), rgb(kBlue)) << "ring of stage " << i;
          EXPECT_EQ(shot.at(cx, top + 11), rgb(FL_WHITE)) << "hole of stage " << i;
          break;
        default:
          EXPECT_EQ(shot.at(cx - 8, top + 11), rgb(kGrey)) << "ring of stage " << i;
          break;
      }
      if (i > 0) {
        const int mid = (s.bar.stageCentre(i - 1) + cx) / 2;
        EXPECT_EQ(shot.at(mid, top + 11), rgb(static_cast<int>(i) <= c.stage ? kBlue : kGrey)) << "connector " << i;
      }
    }
  }
}

// A small 24-bit BMP: a 20 x 20 orange square.
std::string orangeSquare() {
  auto put32 = [](std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  std::string f = "BM";
  put32(f, 54 + 20 * 20 * 3);
  put32(f, 0);
  put32(f, 54);
  put32(f, 40);
  put32(f, 20);
  put32(f, 20);
  f += std::string("\x01\x00\x18\x00", 4);
  for (int i = 0; i < 6; ++i) put32(f, 0);
  for (int i = 0; i < 400; ++i) f += std::string("\x10\x90\xF0", 3);
  return f;
}

TEST_F(Framework, ButtonsInTheirFourLooks) {
  Fl_Double_Window window(760, 80, "buttons");
  window.color(FL_WHITE);
  ActionButton disabled(10, 15, 160, 50, kBlue, kGrey, 16);
  ActionButton outline(190, 15, 160, 50, kBlue, kGrey, 16);
  ActionButton withPicture(370, 15, 200, 50, kBlue, kGrey, 16);
  ActionButton filled(590, 15, 160, 50, kBlue, kGrey, 16);
  window.end();
  disabled.text("Keelatud");
  disabled.disabled(true);
  outline.text("Tavaline");
  withPicture.text("Pildiga");
  withPicture.picture(orangeSquare());
  filled.text("Vaikimisi");
  filled.partner(&outline);  // default button: the partner has no focus
  window.show();
  testing::pump(0.2);
  withPicture.take_focus();
  testing::pump(0.2);

  EXPECT_EQ(disabled.look(), ActionButton::Look::Disabled);
  EXPECT_EQ(outline.look(), ActionButton::Look::Outline);
  EXPECT_EQ(withPicture.look(), ActionButton::Look::OutlineCurrent);
  EXPECT_EQ(filled.look(), ActionButton::Look::Filled);
  ASSERT_NE(withPicture.picture(), nullptr);

  testing::Picture shot = testing::capture(window);
  testing::savePng(shot, "buttons_four_looks");
  EXPECT_EQ(shot.at(10 + 20, 15 + 5), rgb(kGrey));        // disabled: filled with the border colour
  EXPECT_EQ(shot.at(190 + 20, 15 + 5), rgb(FL_WHITE));    // outline: white inside
  EXPECT_EQ(shot.at(190 + 80, 15 + 1), rgb(kGrey));       // ... with the border colour
  EXPECT_EQ(shot.at(370 + 100, 15), rgb(kBlue));           // picture, focused: border in the current colour
  EXPECT_EQ(shot.at(590 + 20, 15 + 5), rgb(kBlue));       // default: filled with the current colour
  // The picture sits left of its label, vertically centred.
  bool orange = false;
  for (int x = 370; x < 470; ++x) orange = orange || shot.at(x, 40) == 0xF09010;
  EXPECT_TRUE(orange);

  // A picture that does not decode is dropped.
  withPicture.picture("BMnot really");
  EXPECT_EQ(withPicture.picture(), nullptr);
}

std::string gReported;
void captureError(const char* format, ...) { gReported += format; }

TEST_F(Framework, OversizedBmpIsReportedOnceAndDropped) {
  std::string huge = orangeSquare();
  huge[18] = '\x00';  // width 0x7FFF0000 x height 20: far above the limit
  huge[20] = '\xFF';
  huge[21] = '\x7F';
  auto saved = Fl::error;
  Fl::error = captureError;
  gReported.clear();
  BmpImage image(huge);
  ActionButton button(0, 0, 160, 50, kBlue, kGrey, 16);
  button.picture(huge);
  Fl::error = saved;
  EXPECT_FALSE(image.usable());
  EXPECT_EQ(image.status(), DecodedBmp::Status::TooLarge);
  EXPECT_EQ(button.picture(), nullptr);
  EXPECT_EQ(gReported, "BMP file is too large!BMP file is too large!");  // once per decoding

  // The default error function adds the line end: the program writes exactly the one line.
  BmpImage fine(orangeSquare());
  EXPECT_TRUE(fine.usable());
  EXPECT_EQ(fine.w(), 20);
  EXPECT_EQ(fine.d(), 3);
}

void loadDemoBundle() {
  static bool loaded = false;
  if (loaded) return;
  const char* source = std::getenv("SV_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  std::ifstream in(std::string(source) + "/demo/bundle.json");
  std::stringstream text;
  text << in.rdbuf();
  registerCatalogue();
  ErrorPtr error = loadBundleText(text.str());
  ASSERT_EQ(error, nullptr) << error->message();
  loaded = true;
}

// The view operations belong to the views library; these tests need only the framework.
class FrameworkOnly : public ViewManager {
 public:
  void confirmQuit() override {}
  void showResult() override {}
  void showReview() override {}
  void showChoices() override {}
  void showNextQuestion() override {}
  void showIdentifierEntry(bool) override {}
  void showError(const std::string&, bool) override {}
  void showAuthMethods() override {}
  void showIntro() override {}
  void showAuthCode() override {}
  void showSignCode() override {}
  void showNetworkWait(int) override {}
  ProxyPromptResult askProxy(ProxyDialogFields&, bool) override { return static_cast<ProxyPromptResult>(0); }
};

class Manager : public Framework {
 protected:
  void SetUp() override {
    Framework::SetUp();
    loadDemoBundle();
    manager_ = std::make_unique<FrameworkOnly>();
    manager_->connectControls([this](UiEvent e) { events_.push_back(static_cast<int>(e)); });
    testing::pump(0.3);
  }
  void TearDown() override { manager_.reset(); }
  MainWindow& window() { return manager_->window(); }

  // Two buttons, the right one default; the left one optionally focused.
  void twoButtons(bool leftFocus) {
    const ViewLayout l = viewLayout();
    manager_->clearView();
    window().setStage(1);
    window().showText("<p>Vali nupp.</p>", l.textTop, 0);
    window().setLeftButton("Vasak", l.leftButton, leftFocus);
    window().setRightButton("Parem", l.rightButton, true);
    if (!leftFocus) window().take_focus();
    testing::pump(0.2);
  }

  std::unique_ptr<FrameworkOnly> manager_;
  std::vector<int> events_;
};

TEST_F(Manager, WindowIsBuiltFromTheBundle) {
  EXPECT_EQ(window().w(), 1024);
  EXPECT_EQ(window().h(), 600);
  EXPECT_STREQ(window().xclass(), "Sorvimend");
  EXPECT_EQ(std::string(window().label()), resourceText(ResourceId::RES_UI_CAPTION));
  EXPECT_EQ(window().roadmap().stageCount(), 4u);
  EXPECT_EQ(window().content().y, 44);
  EXPECT_EQ(window().defaultTextSize(), resourceInteger(ResourceId::RES_UI_FONT_SIZE));
}

TEST_F(Manager, EnterGoesToTheFocusedLeftButtonNotTheDefault) {
  twoButtons(true);
  testing::savePng(testing::capture(window()), "view_left_focused");
  testing::movePointerInto(window(), 500, 300);
  testing::pressKey("Return");
  EXPECT_EQ(events_, std::vector<int>{0});

  events_.clear();
  twoButtons(false);
  testing::savePng(testing::capture(window()), "view_default_right");
  testing::movePointerInto(window(), 500, 300);
  testing::pressKey("KP_Enter");
  EXPECT_EQ(events_, std::vector<int>{1});

  // Without a default button, Enter presses nothing.
  events_.clear();
  window().setRightButton("Parem", viewLayout().rightButton, false);
  window().take_focus();
  testing::pump(0.1);
  testing::pressKey("Return");
  EXPECT_TRUE(events_.empty());
}

TEST_F(Manager, DisabledButtonsReportNothingAndEscapeAsksToClose) {
  twoButtons(false);
  window().rightButton().disabled(true);
  testing::movePointerInto(window(), viewLayout().rightButton.x + 80, viewLayout().rightButton.y + 25);
  testing::run("xdotool click 1");
  testing::pump(0.2);
  EXPECT_TRUE(events_.empty());
  testing::movePointerInto(window(), viewLayout().leftButton.x + 80, viewLayout().leftButton.y + 25);
  testing::run("xdotool click 1");
  testing::pump(0.2);
  EXPECT_EQ(events_, std::vector<int>{0});
  events_.clear();
  testing::pressKey("Escape");
  EXPECT_EQ(events_, std::vector<int>{6});
  EXPECT_TRUE(window().shown());  // the controller decides; the window stays
}

TEST_F(Manager, BusyStateRestoresEachButton) {
  twoButtons(false);
  window().leftButton().disabled(true);
  window().setBusy();
  EXPECT_TRUE(window().rightButton().disabled());
  EXPECT_TRUE(window().leftButton().disabled());
  // Configured while busy: comes up disabled, enabled again afterwards.
  window().setThirdButton("Kolmas", ViewLayout::authButton(2));
  EXPECT_TRUE(window().thirdButton().disabled());
  window().clearBusy();
  EXPECT_FALSE(window().rightButton().disabled());
  EXPECT_TRUE(window().leftButton().disabled());
  EXPECT_FALSE(window().thirdButton().disabled());
}

TEST_F(Manager, ShowTextUsesTheDefaultSizeAndRemovesTheErrorMark) {
  const ViewLayout l = viewLayout();
  window().showErrorMark(l.errorMark);
  window().showText("<p>Viga</p>", l.errorText, 0);
  EXPECT_EQ(window().text().textsize(), window().defaultTextSize());
  EXPECT_EQ(window().errorMark().w, 0);
  window().showText("<p>Suur</p>", l.errorText, 30);
  EXPECT_EQ(window().text().textsize(), 30);
  window().showErrorMark(l.errorMark);
  window().redraw();
  testing::pump(0.2);
  testing::Picture shot = testing::capture(window());
  testing::savePng(shot, "error_mark");
  const std::uint32_t mark = rgb(static_cast<Fl_Color>(resourceColour(ResourceId::RES_UI_COLOR_ERROR)));
  EXPECT_EQ(shot.at(l.errorMark.x + 32, l.errorMark.y + 32), mark);  // the diagonals cross in the middle
}

TEST_F(Manager, ClearViewHidesEverything) {
  twoButtons(true);
  manager_->clearView();
  for (int i = 0; i < window().children(); ++i) EXPECT_FALSE(window().child(i)->visible()) << i;
  EXPECT_TRUE(window().rightButton().disabled());
  EXPECT_TRUE(window().leftButton().disabled());
  EXPECT_FALSE(window().leftButton().focused());
}

TEST_F(Manager, CoverWarningWhileAnotherProgramCoversThePointer) {
  twoButtons(false);
  const int cx = window().x() + 300;
  const int cy = window().y() + 300;
  // Another program's window over the middle of ours.
  const std::string geometry = "200x150+" + std::to_string(cx - 100) + "+" + std::to_string(cy - 75);
  ASSERT_EQ(testing::run("(xclock -geometry " + geometry + " >/dev/null 2>&1 & echo $! > cover.pid)"), 0);
  testing::pump(1.0);
  testing::run("xdotool mousemove " + std::to_string(cx) + " " + std::to_string(cy));
  testing::pump(0.7);
  EXPECT_TRUE(window().coverWarning());
  testing::Picture shot = testing::capture(window());
  testing::savePng(shot, "cover_warning");
  EXPECT_EQ(shot.at(3, 300), rgb(FL_RED));  // the frame, 2 to 4 pixels inside the content area
  testing::run("xdotool mousemove 1270 790");  // outside the window
  testing::pump(0.7);
  EXPECT_FALSE(window().coverWarning());
  testing::run("kill $(cat cover.pid); rm -f cover.pid");
}

TEST_F(Manager, WaitAnimationTurnsAndRestarts) {
  twoButtons(false);
  manager_->startWaitAnimation();
  WaitAnimation* animation = manager_->waitAnimation();
  ASSERT_NE(animation, nullptr);
  testing::pump(0.5);
  EXPECT_NE(animation->angle(), WaitAnimation::kStartAngle);
  manager_->stopWaitAnimation();
  testing::pump(0.1);
  double stopped = animation->angle();
  testing::pump(0.2);
  EXPECT_EQ(animation->angle(), stopped);
  testing::Picture shot = testing::capture(window());
  testing::savePng(shot, "wait_animation");
  // The arc is drawn in the animation colour (blurred a little) somewhere on its circle.
  const Rect& r = viewLayout().animation;
  int tinted = 0;
  for (int y = r.y; y < r.y + r.h; ++y) {
    for (int x = r.x; x < r.x + r.w; ++x) tinted += shot.at(x, y) != 0xFFFFFF ? 1 : 0;
  }
  EXPECT_GT(tinted, 100);
  manager_->startWaitAnimation();
  EXPECT_EQ(animation->angle(), WaitAnimation::kStartAngle);
  manager_->stopWaitAnimation();
}

}  // namespace
}  // namespace sorvimend
