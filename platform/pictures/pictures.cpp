#include "platform/pictures/pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

namespace qano::pictures {

namespace {

struct Colour {
  std::uint8_t r, g, b, a;
};

constexpr Colour kClear{0, 0, 0, 0};

// A canvas that paints whole pixels only: every colour on it is one of those painted, so the
// count of colours stays what the palette allows.
class Canvas {
 public:
  Canvas(int width, int height)
      : p_{width, height, std::vector<std::uint8_t>(width * height * 4)} {}

  void put(int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= p_.width || y >= p_.height) return;
    std::uint8_t* px = &p_.rgba[(y * p_.width + x) * 4];
    px[0] = c.r;
    px[1] = c.g;
    px[2] = c.b;
    px[3] = c.a;
  }
  void rect(int x, int y, int w, int h, Colour c) {
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) put(i, j, c);
  }
  void outline(int x, int y, int w, int h, Colour c) {
    rect(x, y, w, 1, c);
    rect(x, y + h - 1, w, 1, c);
    rect(x, y, 1, h, c);
    rect(x + w - 1, y, 1, h, c);
  }
  // A rectangle with its corners cut by `r` pixels.
  void rounded(int x, int y, int w, int h, int r, Colour c) {
    for (int j = 0; j < h; ++j) {
      int cut = 0;
      if (j < r) cut = r - j;
      if (j >= h - r) cut = j - (h - r - 1);
      rect(x + cut, y + j, w - 2 * cut, 1, c);
    }
  }
  // A filled triangle, by the pixel centres that lie inside it.
  void triangle(double x0, double y0, double x1, double y1, double x2, double y2, Colour c) {
    auto edge = [](double ax, double ay, double bx, double by, double px, double py) {
      return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
    };
    int lo_x = static_cast<int>(std::floor(std::min({x0, x1, x2})));
    int hi_x = static_cast<int>(std::ceil(std::max({x0, x1, x2})));
    int lo_y = static_cast<int>(std::floor(std::min({y0, y1, y2})));
    int hi_y = static_cast<int>(std::ceil(std::max({y0, y1, y2})));
    for (int y = lo_y; y <= hi_y; ++y) {
      for (int x = lo_x; x <= hi_x; ++x) {
        double px = x + 0.5, py = y + 0.5;
        double e0 = edge(x0, y0, x1, y1, px, py);
        double e1 = edge(x1, y1, x2, y2, px, py);
        double e2 = edge(x2, y2, x0, y0, px, py);
        if ((e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0)) put(x, y, c);
      }
    }
  }
  Picture take() { return std::move(p_); }

 private:
  Picture p_;
};

// The 16 standard colours.
constexpr Colour kBlack{0, 0, 0, 255};
constexpr Colour kMaroon{128, 0, 0, 255};
constexpr Colour kOlive{128, 128, 0, 255};
constexpr Colour kGrey{128, 128, 128, 255};
constexpr Colour kSilver{192, 192, 192, 255};
constexpr Colour kRed{255, 0, 0, 255};
constexpr Colour kYellow{255, 255, 0, 255};
constexpr Colour kWhite{255, 255, 255, 255};

}  // namespace

Picture window_icon() {
  Canvas c(32, 32);
  // The tile: a blue square with a darker rim and a lighter top.
  c.rounded(0, 0, 32, 32, 4, Colour{16, 52, 110, 255});
  c.rounded(1, 1, 30, 30, 3, Colour{30, 90, 170, 255});
  c.rounded(2, 2, 28, 13, 2, Colour{52, 118, 200, 255});
  // The receipt: white paper with printed lines and a torn lower edge.
  c.rect(9, 3, 14, 17, Colour{250, 250, 245, 255});
  c.outline(9, 3, 14, 17, Colour{150, 150, 160, 255});
  for (int row = 0; row < 4; ++row)
    c.rect(11, 6 + row * 3, row == 3 ? 6 : 10, 1, Colour{90, 96, 110, 255});
  for (int x = 9; x < 23; x += 2) c.put(x, 20, Colour{250, 250, 245, 255});
  // The arrow into the tray.
  c.rect(14, 14, 4, 5, Colour{40, 170, 60, 255});
  c.triangle(10, 19, 22, 19, 16, 25, Colour{40, 170, 60, 255});
  // The tray.
  c.rect(5, 22, 22, 2, Colour{230, 180, 40, 255});
  c.rect(5, 24, 22, 4, Colour{200, 140, 20, 255});
  c.rect(5, 22, 2, 6, Colour{160, 100, 10, 255});
  c.rect(25, 22, 2, 6, Colour{160, 100, 10, 255});
  c.rect(5, 27, 22, 1, Colour{120, 70, 0, 255});
  return c.take();
}

Picture exit_door(int size) {
  Canvas c(size, size);
  // Laid out on a 32-pixel grid and scaled down for the small picture.
  double k = size / 32.0;
  auto box = [&](int x, int y, int w, int h, Colour col) {
    int x0 = static_cast<int>(std::lround(x * k)), y0 = static_cast<int>(std::lround(y * k));
    int x1 = static_cast<int>(std::lround((x + w) * k)),
        y1 = static_cast<int>(std::lround((y + h) * k));
    c.rect(x0, y0, std::max(1, x1 - x0), std::max(1, y1 - y0), col);
  };
  auto tri = [&](double x0, double y0, double x1, double y1, double x2, double y2, Colour col) {
    c.triangle(x0 * k, y0 * k, x1 * k, y1 * k, x2 * k, y2 * k, col);
  };
  // The wall opening, dark behind the door, and the floor.
  box(4, 2, 16, 28, kGrey);
  box(6, 4, 12, 26, kBlack);
  box(2, 29, 20, 2, kSilver);
  // The door, swung open towards the viewer, with a lit panel and its knob.
  tri(6, 4, 14, 7, 6, 30, kMaroon);
  tri(14, 7, 14, 29, 6, 30, kMaroon);
  tri(7, 7, 12, 9, 7, 16, kOlive);
  box(11, 17, 2, 2, kYellow);
  // The arrow leading out.
  box(15, 14, 8, 5, kRed);
  tri(22, 10, 22, 23, 30, 16.5, kRed);
  box(15, 14, 8, 1, kWhite);
  return c.take();
}

int colour_count(const Picture& picture) {
  std::set<std::uint32_t> seen;
  for (std::size_t i = 0; i + 3 < picture.rgba.size(); i += 4) {
    if (picture.rgba[i + 3] == 0) continue;
    seen.insert(picture.rgba[i] << 16 | picture.rgba[i + 1] << 8 | picture.rgba[i + 2]);
  }
  return static_cast<int>(seen.size());
}

}  // namespace qano::pictures
