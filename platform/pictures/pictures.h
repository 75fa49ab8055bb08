// The window's two pictures, drawn in code: the window icon (32 x 32, up to 256 colours) and the
// picture beside the caption of the button "Uscita" (an open door with an arrow leading out,
// 32 x 32 and 16 x 16, in the 16 standard colours). Plain RGBA pixels, rows top to bottom.
#pragma once

#include <cstdint>
#include <vector>

namespace qano::pictures {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;  // width * height * 4 bytes
};

// The program's icon: a receipt sliding into a tray, on a blue tile.
Picture window_icon();
// The button's picture at `size` pixels (32 or 16).
Picture exit_door(int size);

// The number of distinct opaque colours in a picture.
int colour_count(const Picture& picture);

}  // namespace qano::pictures
