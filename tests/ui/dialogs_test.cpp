// The quit, PIN and proxy dialogs answered by a scripted voter while they wait in their own
// event loops (the script runs from a timer, as the voter's keys would arrive).

#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <FL/Fl.H>

#include "tests/ui/views_display.h"
#include "ui/dialogs/pin_dialogs.h"
#include "ui/dialogs/proxy_dialog.h"
#include "ui/dialogs/quit_dialog.h"

namespace sorvimend {
namespace {

std::function<void()> pendingScript;

// Runs the script once the dialog's loop is waiting.
void script(std::function<void()> steps) {
  pendingScript = std::move(steps);
  Fl::add_timeout(0.3, [](void*) {
    auto steps = std::move(pendingScript);
    steps();
  });
}

class Dialogs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    registerCatalogue();
    const char* source = std::getenv("SV_SOURCE_DIR");
    std::ifstream in(std::string(source != nullptr ? source : ".") + "/demo/bundle.json");
    std::stringstream text;
    text << in.rdbuf();
    ASSERT_EQ(loadBundleText(text.str()), nullptr);
  }
  void SetUp() override { ASSERT_TRUE(testing::requireDisplay()); }
};

TEST_F(Dialogs, QuitAnsweredYesNoAndByClosing) {
  struct Case {
    const char* name;
    std::function<void(QuitDialog&)> answer;
    bool quits;
  };
  const Case cases[] = {
      {"yes", [](QuitDialog& d) { testing::click(d, 85, 135); }, true},
      {"no", [](QuitDialog& d) { testing::click(d, 235, 135); }, false},
      {"enter on the focused no button", [](QuitDialog& d) {
         testing::movePointer(d, 160, 20);
         testing::key("Return");
       }, false},
      {"closed", [](QuitDialog& d) { d.do_callback(); }, false},
  };
  for (const Case& c : cases) {
    QuitDialog dialog;
    script([&] {
      if (std::string(c.name) == "yes") testing::screenshot(dialog, "dialog-quit");
      c.answer(dialog);
    });
    EXPECT_EQ(dialog.run(), c.quits) << c.name;
    EXPECT_FALSE(dialog.shown());
  }
}

CertificateInfo certificate(CertificateUsage usage) {
  CertificateInfo info;
  info.usage = usage;
  info.givenName = "MARI";
  info.surname = "MAASIKAS";
  return info;
}

TEST_F(Dialogs, PinEntryEnablesOkAtTheMinimumLength) {
  DialogPinPrompt prompt;
  prompt.begin(false);
  auto* dialog = dynamic_cast<PinEntryDialog*>(prompt.dialog());
  ASSERT_NE(dialog, nullptr);

  bool ok = false;
  script([&] {
    testing::movePointer(*dialog, 200, 150);
    testing::type("123");
    EXPECT_TRUE(dialog->okButton().disabled());
    testing::key("Return");  // nothing while OK is disabled
    testing::type("4");
    EXPECT_FALSE(dialog->okButton().disabled());
    testing::screenshot(*dialog, "dialog-pin1");
    testing::key("BackSpace");
    EXPECT_TRUE(dialog->okButton().disabled());
    testing::type("4");
    testing::key("Return");
  });
  prompt.ask(certificate(CertificateUsage::Authentication), ok, false);
  ASSERT_TRUE(ok);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(prompt.pin()), prompt.pinLength()), "1234");
  EXPECT_NE(dialog->message().value().find(resourceText(ResourceId::STR_ERR_DUI_INSERT_PIN1)), std::string::npos);

  // Asked again after a wrong PIN, for PIN2: the wrong-PIN text first, an empty field, five digits.
  script([&] {
    EXPECT_EQ(dialog->field().size(), 0);
    testing::movePointer(*dialog, 200, 150);
    testing::type("1234");
    EXPECT_TRUE(dialog->okButton().disabled());
    testing::type("5");
    EXPECT_FALSE(dialog->okButton().disabled());
    testing::screenshot(*dialog, "dialog-pin2-retry");
    testing::click(*dialog, 320, 235);
  });
  prompt.ask(certificate(CertificateUsage::Signing), ok, true);
  ASSERT_TRUE(ok);
  const std::string& message = dialog->message().value();
  EXPECT_EQ(message, "MARI MAASIKAS" + resourceText(ResourceId::STR_ERR_DUI_INSERT_PIN_INCORRECT) +
                         resourceText(ResourceId::STR_ERR_DUI_INSERT_PIN2));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(prompt.pin()), prompt.pinLength()), "12345");

  // Cancel and closing both give ok false.
  script([&] { dialog->cancelButton().do_callback(); });
  prompt.ask(certificate(CertificateUsage::Signing), ok, true);
  EXPECT_FALSE(ok);
  script([&] { dialog->do_callback(); });
  prompt.ask(certificate(CertificateUsage::Signing), ok, false);
  EXPECT_FALSE(ok);
  prompt.end();
  EXPECT_EQ(prompt.pin(), nullptr);
  EXPECT_EQ(prompt.pinLength(), 0u);
}

TEST_F(Dialogs, PinpadOkAtOnceThenBothDisabled) {
  DialogPinPrompt prompt;
  prompt.begin(true);
  auto* dialog = dynamic_cast<PinpadDialog*>(prompt.dialog());
  ASSERT_NE(dialog, nullptr);
  bool ok = false;
  script([&] {
    EXPECT_FALSE(dialog->okButton().disabled());
    EXPECT_EQ(Fl::focus(), &dialog->okButton());
    testing::screenshot(*dialog, "dialog-pinpad");
    testing::movePointer(*dialog, 200, 50);
    testing::key("Return");
  });
  prompt.ask(certificate(CertificateUsage::Signing), ok, false);
  EXPECT_TRUE(ok);
  EXPECT_TRUE(dialog->okButton().disabled());
  EXPECT_TRUE(dialog->cancelButton().disabled());
  EXPECT_NE(dialog->message().value().find(resourceText(ResourceId::STR_ERR_DUI_PINPAD)), std::string::npos);
  EXPECT_EQ(prompt.pin(), nullptr);
  prompt.tick();
  prompt.end();
}

TEST_F(Dialogs, ProxyAppliedCancelledAndClosed) {
  const ProxyDialogFields start{"proxy.example", "3128", "mari", "salasõna"};
  {
    ProxyDialogFields fields = start;
    ProxyDialog dialog(fields);
    script([&] {
      testing::screenshot(dialog, "dialog-proxy");
      testing::click(dialog, 100, 125);
      testing::key("ctrl+a BackSpace");
      testing::type("10.1.2.3");
      dialog.passwordField().value("");
      testing::click(dialog, 345, 255);
    });
    EXPECT_EQ(dialog.run(true), ProxyPromptResult::Confirmed);
    EXPECT_EQ(fields.host, "10.1.2.3");
    EXPECT_EQ(fields.port, "3128");
    EXPECT_EQ(fields.user, "mari");
    EXPECT_EQ(fields.password, "");
  }
  {
    ProxyDialogFields fields = start;
    ProxyDialog dialog(fields);
    script([&] { testing::click(dialog, 125, 255); });
    EXPECT_EQ(dialog.run(true), ProxyPromptResult::Cancelled);
    EXPECT_EQ(fields.host, start.host);
  }
  {
    ProxyDialogFields fields = start;
    ProxyDialog dialog(fields);
    script([&] {
      dialog.hostField().value("changed.example");
      dialog.do_callback();
    });
    EXPECT_EQ(dialog.run(true), ProxyPromptResult::Closed);
    EXPECT_EQ(fields.host, start.host);
    EXPECT_EQ(fields.password, start.password);
  }
}

}  // namespace
}  // namespace sorvimend
