#include "png_image.h"

#include <array>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace velto::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

class BitReader {
 public:
  explicit BitReader(const Bytes& data) : data_(data) {}

  unsigned Bits(int count) {
    unsigned value = 0;
    for (int i = 0; i < count; ++i) value |= Bit() << i;
    return value;
  }

  unsigned Bit() {
    if (pos_ >= data_.size()) throw std::runtime_error("deflate stream ends early");
    const unsigned bit = (static_cast<unsigned>(data_[pos_]) >> bit_) & 1U;
    if (++bit_ == 8) {
      bit_ = 0;
      ++pos_;
    }
    return bit;
  }

  // A stored block: its bytes start at the next byte boundary.
  void CopyStored(Bytes& out) {
    if (bit_ != 0) {
      bit_ = 0;
      ++pos_;
    }
    if (pos_ + 4 > data_.size()) throw std::runtime_error("stored block header cut off");
    const std::size_t length = data_[pos_] | (static_cast<std::size_t>(data_[pos_ + 1]) << 8);
    pos_ += 4;  // the length and its complement
    if (pos_ + length > data_.size()) throw std::runtime_error("stored block cut off");
    out.insert(out.end(), data_.begin() + static_cast<std::ptrdiff_t>(pos_),
               data_.begin() + static_cast<std::ptrdiff_t>(pos_ + length));
    pos_ += length;
  }

 private:
  const Bytes& data_;
  std::size_t pos_ = 0;
  int bit_ = 0;
};

// A canonical Huffman code: how many codes each length has, and the symbols
// in code order.
struct Huffman {
  std::array<int, 16> count{};
  std::vector<int> symbols;

  explicit Huffman(const std::vector<int>& lengths) {
    for (const int length : lengths) ++count[static_cast<std::size_t>(length)];
    count[0] = 0;
    std::array<int, 16> offset{};
    for (std::size_t length = 1; length < 16; ++length) offset[length] = offset[length - 1] + count[length - 1];
    symbols.resize(lengths.size());
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
      if (lengths[symbol] != 0) symbols[static_cast<std::size_t>(offset[static_cast<std::size_t>(lengths[symbol])]++)] = static_cast<int>(symbol);
    }
  }

  int Decode(BitReader& in) const {
    int code = 0;
    int first = 0;
    int index = 0;
    for (std::size_t length = 1; length < 16; ++length) {
      code |= static_cast<int>(in.Bit());
      const int here = count[length];
      if (code - here < first) return symbols[static_cast<std::size_t>(index + code - first)];
      index += here;
      first = (first + here) << 1;
      code <<= 1;
    }
    throw std::runtime_error("bad Huffman code");
  }
};

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistanceBase = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                               33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void InflateBlock(BitReader& in, const Huffman& literals, const Huffman& distances, Bytes& out) {
  for (;;) {
    const int symbol = literals.Decode(in);
    if (symbol < 256) {
      out.push_back(static_cast<std::uint8_t>(symbol));
      continue;
    }
    if (symbol == 256) return;
    const auto length_code = static_cast<std::size_t>(symbol - 257);
    if (length_code >= kLengthBase.size()) throw std::runtime_error("bad length code");
    const auto length = static_cast<std::size_t>(kLengthBase[length_code]) + in.Bits(kLengthExtra[length_code]);
    const auto distance_code = static_cast<std::size_t>(distances.Decode(in));
    if (distance_code >= kDistanceBase.size()) throw std::runtime_error("bad distance code");
    const auto distance =
        static_cast<std::size_t>(kDistanceBase[distance_code]) + in.Bits(kDistanceExtra[distance_code]);
    if (distance > out.size()) throw std::runtime_error("distance before the start");
    for (std::size_t i = 0; i < length; ++i) out.push_back(out[out.size() - distance]);
  }
}

// The code lengths of a dynamic block, themselves Huffman coded.
std::pair<Huffman, Huffman> DynamicCodes(BitReader& in) {
  const auto literal_count = static_cast<std::size_t>(in.Bits(5) + 257);
  const auto distance_count = static_cast<std::size_t>(in.Bits(5) + 1);
  const auto length_count = static_cast<std::size_t>(in.Bits(4) + 4);
  static constexpr std::array<std::size_t, 19> kOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                                         11, 4,  12, 3, 13, 2, 14, 1, 15};
  std::vector<int> length_lengths(19, 0);
  for (std::size_t i = 0; i < length_count; ++i) length_lengths[kOrder[i]] = static_cast<int>(in.Bits(3));
  const Huffman length_code(length_lengths);
  std::vector<int> lengths;
  while (lengths.size() < literal_count + distance_count) {
    const int symbol = length_code.Decode(in);
    if (symbol < 16) {
      lengths.push_back(symbol);
      continue;
    }
    if (symbol == 16 && lengths.empty()) throw std::runtime_error("repeat with nothing before");
    const int repeated = symbol == 16 ? lengths.back() : 0;
    const unsigned times = symbol == 16 ? 3 + in.Bits(2) : symbol == 17 ? 3 + in.Bits(3) : 11 + in.Bits(7);
    lengths.insert(lengths.end(), times, repeated);
  }
  const auto split = lengths.begin() + static_cast<std::ptrdiff_t>(literal_count);
  return {Huffman(std::vector<int>(lengths.begin(), split)),
          Huffman(std::vector<int>(split, lengths.begin() + static_cast<std::ptrdiff_t>(literal_count + distance_count)))};
}

std::pair<Huffman, Huffman> FixedCodes() {
  std::vector<int> literal_lengths(288, 8);
  std::fill(literal_lengths.begin() + 144, literal_lengths.begin() + 256, 9);
  std::fill(literal_lengths.begin() + 256, literal_lengths.begin() + 280, 7);
  return {Huffman(literal_lengths), Huffman(std::vector<int>(30, 5))};
}

// A zlib stream: two header bytes, deflate blocks (the checksum after them
// is not read).
Bytes Inflate(const Bytes& zlib) {
  if (zlib.size() < 2 || (zlib[0] & 0x0F) != 8) throw std::runtime_error("not a deflate stream");
  const Bytes deflate(zlib.begin() + 2, zlib.end());
  BitReader in(deflate);
  Bytes out;
  bool last = false;
  while (!last) {
    last = in.Bit() == 1;
    const unsigned type = in.Bits(2);
    if (type == 0) {
      in.CopyStored(out);
    } else if (type == 1 || type == 2) {
      const auto [literals, distances] = type == 1 ? FixedCodes() : DynamicCodes(in);
      InflateBlock(in, literals, distances, out);
    } else {
      throw std::runtime_error("bad block type");
    }
  }
  return out;
}

std::uint32_t BigEndian(std::string_view bytes, std::size_t pos) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<std::uint8_t>(bytes[pos + i]);
  return value;
}

std::uint8_t Paeth(int left, int up, int up_left) {
  const int estimate = left + up - up_left;
  const int to_left = std::abs(estimate - left);
  const int to_up = std::abs(estimate - up);
  const int to_up_left = std::abs(estimate - up_left);
  if (to_left <= to_up && to_left <= to_up_left) return static_cast<std::uint8_t>(left);
  return static_cast<std::uint8_t>(to_up <= to_up_left ? up : up_left);
}

// The rows with their filters undone, without the filter bytes.
Bytes Unfilter(const Bytes& data, std::size_t height, std::size_t stride, std::size_t pixel_bytes) {
  if (data.size() != height * (stride + 1)) throw std::runtime_error("image data of the wrong size");
  Bytes rows(height * stride);
  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t filter = data[y * (stride + 1)];
    const std::uint8_t* in = &data[y * (stride + 1) + 1];
    std::uint8_t* row = &rows[y * stride];
    const std::uint8_t* above = y > 0 ? &rows[(y - 1) * stride] : nullptr;
    for (std::size_t i = 0; i < stride; ++i) {
      const int left = i >= pixel_bytes ? row[i - pixel_bytes] : 0;
      const int up = above != nullptr ? above[i] : 0;
      const int up_left = above != nullptr && i >= pixel_bytes ? above[i - pixel_bytes] : 0;
      int predicted = 0;
      switch (filter) {
        case 0: predicted = 0; break;
        case 1: predicted = left; break;
        case 2: predicted = up; break;
        case 3: predicted = (left + up) / 2; break;
        case 4: predicted = Paeth(left, up, up_left); break;
        default: throw std::runtime_error("bad filter " + std::to_string(filter));
      }
      row[i] = static_cast<std::uint8_t>(in[i] + predicted);
    }
  }
  return rows;
}

}  // namespace

PngImage ReadPng(std::string_view bytes) {
  if (!bytes.starts_with("\x89PNG\r\n\x1a\n")) throw std::runtime_error("not a PNG file");
  PngImage image;
  std::size_t pixel_bytes = 0;
  Bytes compressed;
  for (std::size_t pos = 8; pos + 8 <= bytes.size();) {
    const std::size_t length = BigEndian(bytes, pos);
    const std::string_view type = bytes.substr(pos + 4, 4);
    const std::string_view body = bytes.substr(pos + 8, length);
    if (body.size() != length) throw std::runtime_error("chunk cut off");
    if (type == "IHDR") {
      image.width_ = static_cast<int>(BigEndian(body, 0));
      image.height_ = static_cast<int>(BigEndian(body, 4));
      const auto depth = static_cast<std::uint8_t>(body[8]);
      const auto colour = static_cast<std::uint8_t>(body[9]);
      if (depth != 8 || (colour != 2 && colour != 6) || body[12] != 0) {
        throw std::runtime_error("only 8-bit RGB or RGBA without interlacing is read");
      }
      pixel_bytes = colour == 2 ? 3 : 4;
    } else if (type == "IDAT") {
      compressed.insert(compressed.end(), body.begin(), body.end());
    }
    pos += 12 + length;  // length, type, body, CRC
  }
  if (pixel_bytes == 0) throw std::runtime_error("no IHDR chunk");
  const auto width = static_cast<std::size_t>(image.width_);
  const auto height = static_cast<std::size_t>(image.height_);
  const Bytes rows = Unfilter(Inflate(compressed), height, width * pixel_bytes, pixel_bytes);
  image.pixels_.reserve(width * height);
  for (std::size_t i = 0; i < width * height; ++i) {
    const std::uint8_t* pixel = &rows[i * pixel_bytes];
    image.pixels_.push_back({pixel[0], pixel[1], pixel[2]});
  }
  return image;
}

}  // namespace velto::testing
