// A reader of the PNG screenshots headless Chromium takes, so the browser
// tests can look at pixels without an image library: 8-bit RGB or RGBA, not
// interlaced, with its own inflate (stored, fixed and dynamic Huffman
// blocks). Anything else throws.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace velto::testing {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
};

class PngImage {
 public:
  int width() const { return width_; }
  int height() const { return height_; }
  Rgb At(int x, int y) const {
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
  }

  friend PngImage ReadPng(std::string_view bytes);

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<Rgb> pixels_;
};

PngImage ReadPng(std::string_view bytes);

}  // namespace velto::testing
