#pragma once
// The box of the result view that shows the verification text as a QR code. It keeps its right
// edge where it was created whatever the symbol's size: the image sits on a white square with a
// 6-pixel quiet border, on a rounded background 17 pixels wider on every side.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <FL/Fl_Box.H>
#include <FL/Fl_Pixmap.H>

namespace sorvimend {

class QrCodeBox : public Fl_Box {
 public:
  static constexpr int innerMargin = 17;
  static constexpr int border = 6;

  // Placed with its right edge at `right` and its top at `top`, empty until text() is given.
  QrCodeBox(int right, int top, Fl_Color background);
  ~QrCodeBox() override;

  QrCodeBox(const QrCodeBox&) = delete;
  QrCodeBox& operator=(const QrCodeBox&) = delete;

  // Encodes the text and shows it. A text that cannot be encoded leaves the box without a code.
  void text(std::string_view text);
  [[nodiscard]] int imageSize() const { return pixmap_ ? pixmap_->w() : 0; }

  void draw() override;

 private:
  std::vector<std::string> lines_;
  std::vector<const char*> linePointers_;  // the pixmap reads these; it does not copy them
  std::unique_ptr<Fl_Pixmap> pixmap_;
};

}  // namespace sorvimend
