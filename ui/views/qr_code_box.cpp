#include "ui/views/qr_code_box.h"

#include <FL/fl_draw.H>

#include "ui/views/qr_xpm.h"
#include "ui/focus_frame.h"

namespace sorvimend {
namespace {
constexpr int cornerRadius = 12;
constexpr int frame = QrCodeBox::innerMargin + QrCodeBox::border;
}  // namespace

QrCodeBox::QrCodeBox(int right, int top, Fl_Color background) : Fl_Box(right - 2 * frame, top, 0, 0) {
  box(FL_NO_BOX);
  color(background);
  align(FL_ALIGN_CENTER | FL_ALIGN_INSIDE);
}

QrCodeBox::~QrCodeBox() { image(nullptr); }

void QrCodeBox::text(std::string_view text) {
  const int previousWidth = imageSize();
  image(nullptr);
  pixmap_.reset();
  linePointers_.clear();
  lines_.clear();

  if (std::optional<QrXpm> xpm = qrXpmFor(text)) {
    lines_ = std::move(xpm->lines);
    linePointers_.reserve(lines_.size() + 1);
    for (const std::string& line : lines_) linePointers_.push_back(line.c_str());
    linePointers_.push_back(nullptr);
    pixmap_ = std::make_unique<Fl_Pixmap>(linePointers_.data());
    image(pixmap_.get());
  }
  const int width = imageSize();
  resize(x() + previousWidth - width, y(), width + 2 * frame, width + 2 * frame);
  // The box may have shrunk: what it covered before belongs to the parent again.
  if (parent() != nullptr) parent()->redraw();
  redraw();
}

void QrCodeBox::draw() {
  if (w() < 2 * frame || h() < 2 * frame) return;
  fl_color(color());
  fillRoundedRect(x(), y(), w(), h(), cornerRadius);
  fl_rectf(x() + innerMargin, y() + innerMargin, w() - 2 * innerMargin, h() - 2 * innerMargin, FL_WHITE);
  draw_label();
}

}  // namespace sorvimend
