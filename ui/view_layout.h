#pragma once
// Where every view puts its widgets, in window pixels. Derived from the window size 1024 x 600,
// buttons of 160 x 50 and margins of 30 (horizontal) and 20 (vertical); the window never has
// another size, so the table is fixed.

namespace sorvimend {

struct Rect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  friend constexpr bool operator==(const Rect& a, const Rect& b) {
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
  }
};

struct ViewLayout {
  static constexpr int kWindowWidth = 1024;
  static constexpr int kWindowHeight = 600;
  static constexpr int kButtonWidth = 160;
  static constexpr int kButtonHeight = 50;
  static constexpr int kMarginX = 30;
  static constexpr int kMarginY = 20;

  Rect roadmap{135, 10, 754, 44};
  Rect textTop{60, 136, 904, 85};
  Rect textSecond{60, 166, 904, 85};
  Rect inputRow{412, 236, 200, 40};
  Rect codeText{60, 134, 904, 146};
  Rect codeTitle{60, 280, 904, 60};
  Rect textTall{60, 136, 904, 364};
  Rect resultText{60, 136, 614, 444};
  Rect errorText{185, 216, 654, 296};
  Rect errorMark{480, 120, 64, 64};
  Rect animation{487, 370, 50, 50};
  Rect introDivider{511, 182, 1, 250};
  Rect introLeft{60, 184, 450, 316};
  Rect introRight{572, 184, 453, 316};
  Rect listDivider{515, 114, 1, 396};
  Rect choiceTree{60, 114, 450, 396};
  Rect searchRow{60, 520, 448, 50};
  Rect choiceText{584, 116, 439, 161};
  Rect choiceBox{584, 310, 380, 180};
  Rect reviewText{60, 136, 904, 106};
  Rect reviewBox{322, 294, 380, 180};
  Rect rightButton{kWindowWidth - kMarginX - kButtonWidth, kWindowHeight - 30 - kButtonHeight, kButtonWidth,
                   kButtonHeight};
  Rect leftButton{kMarginX, kWindowHeight - 30 - kButtonHeight, kButtonWidth, kButtonHeight};
  Rect wideRightButton{784, 520, 180, 50};
  Rect wideLeftButton{584, 520, 180, 50};

  // The result view's QR code box: right edge, top, inner margin and border.
  static constexpr int kQrRight = 964;
  static constexpr int kQrTop = 136;
  static constexpr int kQrMargin = 17;
  static constexpr int kQrBorder = 6;

  // The authentication view's buttons, i = 0, 1, 2.
  static constexpr Rect authButton(int i) { return Rect{412, 216 + 70 * i, 200, 50}; }
};

constexpr ViewLayout viewLayout() { return ViewLayout{}; }

}  // namespace sorvimend
