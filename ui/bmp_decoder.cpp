#include "ui/bmp_decoder.h"

#include <array>
#include <limits>

namespace sorvimend {
namespace {

// Little-endian reads; past the end every byte is 0xFF.
class ByteReader {
 public:
  explicit ByteReader(std::string_view data) : data_(data) {}

  std::uint8_t byte() {
    std::uint8_t value = pos_ < data_.size() ? static_cast<std::uint8_t>(data_[pos_]) : 0xFF;
    if (pos_ < kEnd) ++pos_;
    return value;
  }
  std::uint16_t word() {
    std::uint16_t low = byte();
    return static_cast<std::uint16_t>(low | (byte() << 8));
  }
  std::uint32_t dword() {
    std::uint32_t low = word();
    return low | (static_cast<std::uint32_t>(word()) << 16);
  }
  std::int32_t slong() { return static_cast<std::int32_t>(dword()); }
  void skip(std::uint64_t count) { pos_ = count > kEnd - pos_ ? kEnd : pos_ + count; }
  void seek(std::uint64_t position) { pos_ = position; }

 private:
  static constexpr std::uint64_t kEnd = std::numeric_limits<std::uint64_t>::max();
  std::string_view data_;
  std::uint64_t pos_ = 0;
};

bool multiply(std::uint64_t a, std::uint64_t b, std::uint64_t& out) { return !__builtin_mul_overflow(a, b, &out); }

std::uint64_t paddedRow(std::uint64_t bytes) { return (bytes + 3) & ~std::uint64_t{3}; }

using Palette = std::array<std::array<std::uint8_t, 3>, 256>;  // red, green, blue

// Run-length state kept across pixels and rows.
class RunLengthReader {
 public:
  RunLengthReader(ByteReader& in, bool fourBit, std::uint64_t width) : in_(in), fourBit_(fourBit), width_(width) {}

  // The next palette index; false when an end-of-image code ends the current row.
  bool next(std::uint8_t& index) {
    for (;;) {
      if (delta_ > 0) {
        --delta_;
        index = 0;
        return true;
      }
      if (repeat_ > 0) {
        --repeat_;
        if (fourBit_) {
          index = high_ ? static_cast<std::uint8_t>(value_ >> 4) : static_cast<std::uint8_t>(value_ & 0x0F);
          high_ = !high_;
        } else {
          index = value_;
        }
        return true;
      }
      if (literal_ > 0) {
        --literal_;
        if (fourBit_) {
          if (high_) current_ = in_.byte();
          index = high_ ? static_cast<std::uint8_t>(current_ >> 4) : static_cast<std::uint8_t>(current_ & 0x0F);
          high_ = !high_;
        } else {
          index = in_.byte();
        }
        if (literal_ == 0 && literalBytes_ % 2 != 0) in_.byte();  // literal runs are word-aligned
        return true;
      }
      std::uint8_t count = in_.byte();
      if (count > 0) {
        value_ = in_.byte();
        repeat_ = count;
        high_ = true;
        continue;
      }
      std::uint8_t code = in_.byte();
      if (code == 0) continue;  // end of line: the following pixels continue the same row
      if (code == 1) return false;
      if (code == 2) {
        std::uint64_t dx = in_.byte();
        std::uint64_t dy = in_.byte();
        delta_ = dx + dy * width_;  // at most 255 + 255 * 2^31: no overflow
        continue;
      }
      literal_ = code;
      literalBytes_ = fourBit_ ? (code + 1u) / 2u : code;
      high_ = true;
    }
  }

 private:
  ByteReader& in_;
  bool fourBit_;
  std::uint64_t width_;
  std::uint64_t delta_ = 0;
  unsigned repeat_ = 0;
  unsigned literal_ = 0;
  unsigned literalBytes_ = 0;
  std::uint8_t value_ = 0;
  std::uint8_t current_ = 0;
  bool high_ = true;
};

}  // namespace

DecodedBmp decodeBmp(std::string_view data, std::size_t maxBytes) {
  DecodedBmp result;
  ByteReader in(data);
  if (in.byte() != 'B' || in.byte() != 'M') {
    result.status = DecodedBmp::Status::NotBmp;
    return result;
  }
  in.dword();  // file size
  in.word();
  in.word();
  const std::uint32_t dataOffset = in.dword();
  const std::uint32_t headerSize = in.dword();

  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t compression = 0;
  std::uint32_t dataSize = 0;
  std::uint32_t coloursUsed = 0;
  if (headerSize < 40) {
    width = in.word();
    height = in.word();
    in.word();  // planes
    bitsPerPixel = in.word();
    if (headerSize > 12) in.skip(headerSize - 12);
  } else {
    width = in.slong();
    height = in.slong();
    in.word();  // planes
    bitsPerPixel = in.word();
    compression = in.dword();
    dataSize = in.dword();
    in.slong();
    in.slong();
    coloursUsed = in.dword();
    in.dword();
    in.skip(headerSize - 40);
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;  // int64: also safe for the most negative 32-bit value
  if (width <= 0 || height == 0 || bitsPerPixel == 0) return result;

  const auto w = static_cast<std::uint64_t>(width);
  auto h = static_cast<std::uint64_t>(height);
  int depth = 3;
  bool mask = false;
  if (compression == 0 && bitsPerPixel >= 8 && w > 32 / bitsPerPixel) {
    std::uint64_t rowBits = 0;
    std::uint64_t total = 0;
    if (multiply(w, bitsPerPixel, rowBits)) {
      std::uint64_t rows = paddedRow((rowBits + 7) / 8) + paddedRow((w + 7) / 8);
      if (multiply(rows, h, total) && total == 2 * std::uint64_t{dataSize}) {
        h /= 2;
        depth = 4;
        mask = true;
      }
    }
  }
  if (h == 0) return result;

  Palette palette{};
  std::uint64_t paletteSize = coloursUsed;
  if (paletteSize == 0 && bitsPerPixel <= 8) paletteSize = std::uint64_t{1} << bitsPerPixel;
  const std::uint64_t entrySize = headerSize > 12 ? 4 : 3;
  for (std::uint64_t i = 0; i < paletteSize && i < palette.size(); ++i) {
    std::uint8_t blue = in.byte();
    std::uint8_t green = in.byte();
    std::uint8_t red = in.byte();
    if (entrySize == 4) in.byte();
    palette[i] = {red, green, blue};
  }
  if (paletteSize > palette.size()) in.skip((paletteSize - palette.size()) * entrySize);

  bool fiveSixFive = false;
  if (bitsPerPixel == 16) fiveSixFive = in.dword() == 0xF800;
  if (bitsPerPixel == 32) depth = 4;
  if (dataOffset != 0) in.seek(dataOffset);

  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 &&
      bitsPerPixel != 32)
    return result;

  std::uint64_t pixelsTotal = 0;
  std::uint64_t bytes = 0;
  if (!multiply(w, h, pixelsTotal) || !multiply(pixelsTotal, static_cast<std::uint64_t>(depth), bytes) ||
      bytes > maxBytes || w > static_cast<std::uint64_t>(std::numeric_limits<int>::max()) ||
      h > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) {
    result.status = DecodedBmp::Status::TooLarge;
    return result;
  }

  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(bytes), 0);
  const std::size_t rowStride = static_cast<std::size_t>(w) * static_cast<std::size_t>(depth);
  const bool rle = (compression == 1 && bitsPerPixel == 8) || (compression == 2 && bitsPerPixel == 4);
  RunLengthReader runs(in, bitsPerPixel == 4, w);

  for (std::uint64_t r = 0; r < h; ++r) {
    const std::uint64_t outRow = topDown ? r : h - 1 - r;
    std::uint8_t* row = pixels.data() + static_cast<std::size_t>(outRow) * rowStride;
    auto put = [&](std::uint64_t x, std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha) {
      std::uint8_t* p = row + static_cast<std::size_t>(x) * static_cast<std::size_t>(depth);
      p[0] = red;
      p[1] = green;
      p[2] = blue;
      if (depth == 4) p[3] = alpha;
    };
    auto putIndex = [&](std::uint64_t x, std::uint8_t index) {
      const auto& c = palette[index];
      put(x, c[0], c[1], c[2], 255);
    };

    if (rle) {
      for (std::uint64_t x = 0; x < w; ++x) {
        std::uint8_t index = 0;
        if (!runs.next(index)) break;
        putIndex(x, index);
      }
      continue;
    }

    std::uint64_t rowBytes = 0;
    std::uint8_t current = 0;
    for (std::uint64_t x = 0; x < w; ++x) {
      switch (bitsPerPixel) {
        case 1:
          if (x % 8 == 0) {
            current = in.byte();
            ++rowBytes;
          }
          putIndex(x, static_cast<std::uint8_t>((current >> (7 - x % 8)) & 1));
          break;
        case 4:
          if (x % 2 == 0) {
            current = in.byte();
            ++rowBytes;
          }
          putIndex(x, static_cast<std::uint8_t>(x % 2 == 0 ? current >> 4 : current & 0x0F));
          break;
        case 8:
          putIndex(x, in.byte());
          ++rowBytes;
          break;
        case 16: {
          unsigned value = in.word();
          rowBytes += 2;
          unsigned blue = (value & 0x1F) << 3;
          unsigned green = fiveSixFive ? ((value >> 5) & 0x3F) << 2 : ((value >> 5) & 0x1F) << 3;
          unsigned red = fiveSixFive ? ((value >> 11) & 0x1F) << 3 : ((value >> 10) & 0x1F) << 3;
          put(x, static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green), static_cast<std::uint8_t>(blue),
              255);
          break;
        }
        case 24: {
          std::uint8_t blue = in.byte();
          std::uint8_t green = in.byte();
          std::uint8_t red = in.byte();
          rowBytes += 3;
          put(x, red, green, blue, 255);
          break;
        }
        default: {  // 32
          std::uint8_t blue = in.byte();
          std::uint8_t green = in.byte();
          std::uint8_t red = in.byte();
          std::uint8_t alpha = in.byte();
          rowBytes += 4;
          put(x, red, green, blue, alpha);
          break;
        }
      }
    }
    in.skip(paddedRow(rowBytes) - rowBytes);
  }

  if (mask) {
    const std::uint64_t maskBytes = (w + 7) / 8;
    for (std::uint64_t r = 0; r < h; ++r) {
      std::uint8_t* row = pixels.data() + static_cast<std::size_t>(h - 1 - r) * rowStride;
      std::uint8_t current = 0;
      for (std::uint64_t x = 0; x < w; ++x) {
        if (x % 8 == 0) current = in.byte();
        bool transparent = ((current >> (7 - x % 8)) & 1) != 0;
        row[static_cast<std::size_t>(x) * 4 + 3] = transparent ? 0 : 255;
      }
      in.skip(paddedRow(maskBytes) - maskBytes);
    }
  }

  result.status = DecodedBmp::Status::Ok;
  result.width = static_cast<int>(w);
  result.height = static_cast<int>(h);
  result.depth = depth;
  result.pixels = std::move(pixels);
  return result;
}

}  // namespace sorvimend
