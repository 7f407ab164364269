// SPDX-License-Identifier: MIT
// consumer IN.ppm OUT.bmp: converts a P3 file into a 24-bit BMP file with the
// libraries' row operations, a row at a time, in memory that does not grow
// with the picture: the bytes that travorn writes, for any maxval.
#include <cstdint>
#include <vector>

#include "bmp/bmp.hpp"
#include "ppma/ppma.hpp"
#include "travorn_version.hpp"

static_assert(TRAVORN_VERSION_MAJOR == 1, "written for the interface of travorn 1");

namespace {
struct Conversion {
  const char* out;
  int32_t xsize = 0, ysize = 0, maxrgb = 0;
  bmp_24_rows* rows = nullptr;  // the BMP file, made once the header is known
  std::vector<unsigned char> bytes[3];
};

// Opens the BMP file for the picture the header declared; false when it
// cannot be (after the library's report), or when the samples have no range.
bool begin(Conversion* c) {
  if (c->maxrgb < 1) return false;
  c->rows = bmp_24_rows_open(c->out, uint32_t(c->xsize), c->ysize);
  for (auto& plane : c->bytes) plane.resize(ppma_rows_piece);
  return c->rows != nullptr;
}

// Each row (or piece of a wide one), top row first: rescaled to bytes and put.
int put_row(void* context, int32_t, int32_t, int32_t pixels, const int32_t* r, const int32_t* g,
            const int32_t* b) {
  auto* c = static_cast<Conversion*>(context);
  if (c->rows == nullptr && !begin(c)) return 1;  // stops the read
  const int32_t* const samples[3] = {r, g, b};
  for (int k = 0; k < 3; ++k)
    ppma_scale_to_bytes(pixels, 1, c->maxrgb, samples[k], c->bytes[k].data());
  // bmp_ functions return true on failure.
  return bmp_24_rows_put(c->rows, uint32_t(pixels), c->bytes[0].data(), c->bytes[1].data(),
                         c->bytes[2].data())
             ? 1
             : 0;
}
}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) return 2;
  Conversion c{argv[2]};
  const int status = ppma_read_rows(argv[1], &c.xsize, &c.ysize, &c.maxrgb, put_row, &c);
  if (status == 0 && c.rows == nullptr && !begin(&c)) return 1;  // a picture without pixels
  if (c.rows == nullptr) return 1;
  // Finished in every case: a file cut short is removed, an old one kept.
  return bmp_24_rows_finish(c.rows) || status != 0 ? 1 : 0;
}
