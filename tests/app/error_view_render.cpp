// Draws the error view the program would show for a given failure, from a bundle file, and writes
// the pixels of its message area as a binary PPM: the reference the end-to-end runs compare the
// program's own error view with. The failure is given as the program would build it, so that a
// run checks both which error was met and how the view shows it.
//
// Usage: error-view-render BUNDLE.json CLASS DETAIL EXTRA MESSAGE OUT.ppm
//   CLASS, DETAIL, EXTRA: decimal numbers; MESSAGE: a resource's full name (STR_ERR_VALID_PERIOD)
//   or "-" for none. Needs a display. Exit status 0 written, 1 failed, 2 bad command line.

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/error_text.h"
#include "protocol/app_model.h"
#include "protocol/question_cursor.h"
#include "resources/resource_access.h"
#include "resources/resource_catalogue.h"
#include "ui/view_layout.h"
#include "ui/views/wizard_views.h"
#include "util/fltk/offscreen.h"

// Last: the X headers behind them define macros (None) that clash with our names.
#include <FL/Fl.H>
#include <FL/fl_draw.H>

namespace {

using namespace sorvimend;

bool readNumber(const char* text, std::uint64_t& value) {
  char* end = nullptr;
  value = std::strtoull(text, &end, 10);
  return end != text && *end == '\0';
}

int render(int argc, char** argv) {
  std::uint64_t errorClass = 0, detail = 0, extra = 0;
  if (argc != 7 || !readNumber(argv[2], errorClass) || !readNumber(argv[3], detail) || !readNumber(argv[4], extra)) {
    std::fputs("usage: error-view-render BUNDLE.json CLASS DETAIL EXTRA MESSAGE OUT.ppm\n", stderr);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream bundle;
  bundle << in.rdbuf();
  registerCatalogue();
  if (!in || loadBundleText(bundle.str()) != nullptr) {
    std::fprintf(stderr, "error-view-render: cannot load %s\n", argv[1]);
    return 1;
  }
  std::string message;
  if (std::string(argv[5]) != "-") {
    const ResourceId id = resourceCatalogue().idOfFullName(argv[5]);
    if (resourceCatalogue().entry(id) == nullptr) {  // not a known name
      std::fprintf(stderr, "error-view-render: no resource %s\n", argv[5]);
      return 1;
    }
    message = resourceText(id);
  }
  const ErrorInfo error(static_cast<std::int32_t>(errorClass), message, detail, extra);

  registerAppModel(std::make_unique<AppModel>());
  registerQuestionCursor(std::make_unique<SingleQuestionCursor>(false));
  auto views = std::make_unique<WizardViews>();
  views->showError(errorViewText(&error), false);
  MainWindow& window = views->window();
  window.show();
  for (int i = 0; i < 20; ++i) Fl::wait(0.02);
  window.make_current();
  const Rect area = viewLayout().errorText;
  const fltk::ReadPixels pixels = fltk::readImage(area.x, area.y, area.w, area.h);
  if (!pixels) return 1;
  std::ofstream ppm(argv[6], std::ios::binary);
  ppm << "P6\n" << area.w << " " << area.h << "\n255\n";
  ppm.write(reinterpret_cast<const char*>(pixels.get()), static_cast<std::streamsize>(area.w) * area.h * 3);
  views.reset();
  registerQuestionCursor(nullptr);
  registerAppModel(nullptr);
  resetBundle();
  return ppm ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return render(argc, argv); }
