// The conversion routine: a P3 file in, a 24-bit BMP file out. The samples
// are parsed straight into byte planes, rescaled to 0..255 and stored at
// their flipped rows, so no integer plane is ever made.
#include "app/travorn.hpp"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <new>

#include "bmp/bmp.hpp"
#include "common/huge_pages.hpp"
#include "ppma/ppma.hpp"
#include "ppma/ppma_sink.hpp"

namespace {

inline std::ostream& report(const char* header_line) { return std::cout << '\n' << header_line; }

// Below this maximum every sample's byte comes from a table made once per image.
constexpr std::int32_t kTableMax = 1 << 20;

// Maps a sample from 0..maxrgb onto 0..255: clamped, then rounded with
// halves up, in 64 bits. With maxrgb below 1 every sample becomes 0.
inline unsigned char rescale(std::int32_t sample, std::int64_t maxrgb) {
  if (maxrgb < 1) return 0;
  const std::int64_t v = std::clamp<std::int64_t>(sample, 0, maxrgb);
  return static_cast<unsigned char>((v * 510 + maxrgb) / (2 * maxrgb));
}

// True when every sample is a byte already (0..255).
bool all_bytes(const std::int32_t* samples, std::size_t count) {
  std::uint32_t beyond = 0;
  for (std::size_t i = 0; i < count; ++i) beyond |= static_cast<std::uint32_t>(samples[i]);
  return beyond <= 255;
}

// Exchanges row i with row ysize - 1 - i for the upper half of the rows.
template <typename T>
void flip_rows(std::int32_t xsize, std::int32_t ysize, T* plane) {
  if (xsize < 1 || ysize < 2) return;
  const auto width = static_cast<std::size_t>(xsize);
  for (std::int32_t i = 0; i < ysize / 2; ++i) {
    T* top = plane + std::size_t(i) * width;
    T* bottom = plane + std::size_t(ysize - 1 - i) * width;
    std::swap_ranges(top, top + width, bottom);
  }
}

// The converter's destination for the samples: three byte planes in BMP row
// order. Made whole at once, each row is stored at its flipped place as it
// arrives; grown with the input, the rows are stored in file order and
// flipped once the read is over.
class BytePlanes final : public ppma_detail::SampleSink {
 public:
  void begin(std::int32_t xsize, std::int32_t ysize, std::int32_t maxrgb) override {
    xsize_ = xsize;
    ysize_ = ysize;
    maxrgb_ = maxrgb;
  }
  bool reserve(std::uint64_t pixels) override {
    flipped_ = true;
    return make_room(pixels, 0);
  }
  bool grow(std::uint64_t pixels) override { return make_room(pixels, room_); }
  void store(std::uint64_t first, const std::int32_t* rgb, std::size_t samples) override {
    if (maxrgb_ == 255 && all_bytes(rgb, samples)) {  // the common case: nothing to change
      store_rows(first, rgb, samples / 3,
                 [](std::int32_t v) { return static_cast<unsigned char>(v); });
    } else if (maxrgb_ == 255) {
      store_rows(first, rgb, samples / 3,
                 [](std::int32_t v) { return static_cast<unsigned char>(std::clamp(v, 0, 255)); });
    } else if (table_) {
      const unsigned char* const table = table_.get();
      const std::int32_t top = maxrgb_;
      store_rows(first, rgb, samples / 3,
                 [table, top](std::int32_t v) { return table[std::clamp(v, 0, top)]; });
    } else {
      const std::int32_t top = maxrgb_;
      store_rows(first, rgb, samples / 3, [top](std::int32_t v) { return rescale(v, top); });
    }
  }

  // Rows in BMP order, once the read has succeeded.
  void finish() {
    if (flipped_) return;
    for (auto& plane : plane_) flip_rows(xsize_, ysize_, plane.get());
  }
  const unsigned char* plane(int c) const { return plane_[c].get(); }

 private:
  // The table of every sample's byte, made with the first room, when the
  // image holds more samples than the table has entries.
  void make_table() {
    const std::uint64_t samples = 3 * std::uint64_t(xsize_) * std::uint64_t(ysize_);
    if (maxrgb_ == 255 || maxrgb_ < 1 || maxrgb_ > kTableMax || samples <= std::uint64_t(maxrgb_)) {
      return;
    }
    table_.reset(new (std::nothrow) unsigned char[std::size_t(maxrgb_) + 1]);
    for (std::int32_t v = 0; table_ && v <= maxrgb_; ++v) {
      table_[std::size_t(v)] = rescale(v, maxrgb_);
    }
  }

  bool make_room(std::uint64_t pixels, std::uint64_t keep) {
    if (room_ == 0) make_table();
    for (auto& plane : plane_) {
      std::unique_ptr<unsigned char[]> bigger(new (std::nothrow) unsigned char[pixels]);
      if (!bigger) return false;
      travorn_detail::advise_huge_pages(bigger.get(), pixels);
      std::copy(plane.get(), plane.get() + keep, bigger.get());
      plane = std::move(bigger);
    }
    room_ = pixels;
    return true;
  }

  // Stores `pixels` pixels from pixel `first` on, a row's run at a time.
  template <typename Narrow>
  void store_rows(std::uint64_t first, const std::int32_t* rgb, std::size_t pixels, Narrow narrow) {
    const auto width = static_cast<std::uint64_t>(xsize_);
    while (pixels > 0) {
      const std::uint64_t row = first / width;
      const std::uint64_t column = first % width;
      const auto run = static_cast<std::size_t>(std::min<std::uint64_t>(pixels, width - column));
      const std::uint64_t to = (flipped_ ? std::uint64_t(ysize_) - 1 - row : row) * width + column;
      unsigned char* __restrict r = plane_[0].get() + to;
      unsigned char* __restrict g = plane_[1].get() + to;
      unsigned char* __restrict b = plane_[2].get() + to;
      for (std::size_t i = 0; i < run; ++i) {
        r[i] = narrow(rgb[3 * i]);
        g[i] = narrow(rgb[3 * i + 1]);
        b[i] = narrow(rgb[3 * i + 2]);
      }
      rgb += 3 * run;
      first += run;
      pixels -= run;
    }
  }

  std::int32_t xsize_ = 0;
  std::int32_t ysize_ = 0;
  std::int32_t maxrgb_ = 0;
  std::unique_ptr<unsigned char[]> table_;
  std::unique_ptr<unsigned char[]> plane_[3];
  std::uint64_t room_ = 0;
  bool flipped_ = false;
};

}  // namespace

int travorn(const char* input_file_name, const char* output_file_name) {
  BytePlanes planes;
  int32_t xsize = 0;
  int32_t ysize = 0;
  int32_t maxrgb = 0;
  if (ppma_detail::read_image(input_file_name, &xsize, &ysize, &maxrgb, planes) != 0) {
    report("TRAVORN - Fatal error!\n") << "  PPMA_READ failed.\n";
    return 1;
  }
  report("TRAVORN:\n") << "  XSIZE = " << xsize << ".\n"
                       << "  YSIZE = " << ysize << ".\n";
  report("TRAVORN:\n") << "  Flipping data orientation.\n";
  planes.finish();
  if (bmp_24_write(output_file_name, static_cast<uint32_t>(xsize), ysize, planes.plane(0),
                   planes.plane(1), planes.plane(2))) {
    report("TRAVORN - Fatal error!\n") << "  BMP_24_WRITE failed.\n";
    return 1;
  }
  report("TRAVORN:\n") << "  Normal end of translation.\n";
  return 0;
}

void imat_vert_flip(int32_t xsize, int32_t ysize, int32_t* plane) {
  flip_rows(xsize, ysize, plane);
}

void int_2_u_char(int32_t xsize, int32_t ysize, const int32_t* source, unsigned char* target) {
  const std::uint64_t count =
      xsize < 1 || ysize < 1 ? 0 : std::uint64_t(xsize) * std::uint64_t(ysize);
  for (std::uint64_t k = 0; k < count; ++k) {
    target[k] = static_cast<unsigned char>(static_cast<uint32_t>(source[k]) & 0xFFu);
  }
}
