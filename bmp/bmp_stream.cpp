// SPDX-License-Identifier: MIT
// A 24-bit file written as its pixels arrive, each block of rows at its
// place: the converter's output.
#include <algorithm>
#include <new>
#include <sstream>

#include "bmp/bmp.hpp"
#include "bmp/bmp_internal.hpp"
#include "common/sizes.hpp"

namespace {
// Rows are gathered in blocks of at most this many bytes; a row wider than
// that goes out in pieces of this many pixels, the last with the padding.
constexpr std::uint64_t kBlockBytes = std::uint64_t{256} * 1024;
constexpr std::uint64_t kPiecePixels = (kBlockBytes - 3) / 3;
}  // namespace

namespace bmp_detail {

StreamedFile::StreamedFile(travorn_detail::OutputFile& file, std::uint32_t width,
                           std::int32_t height)
    : file_(file),
      width_(width),
      height_(row_count(height)),
      top_down_(height < 0),
      row_bytes_(row_bytes(width, 3)) {
  if (!pixel_bytes_within(width, height, 3, 0, &pixel_bytes_)) {
    failure_ = Failure::kTooLarge;
  } else if (!file_.open()) {
    failure_ = Failure::kOpen;
  }
  if (row_bytes_ > 0 && row_bytes_ <= kBlockBytes) {
    rows_per_block_ =
        static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes / row_bytes_, height_));
  } else if (width > 0) {
    pieces_per_row_ = static_cast<std::size_t>((width + kPiecePixels - 1) / kPiecePixels);
  }
  // As large as the rows need, up to a block.
  block_room_ = static_cast<std::size_t>(std::min(kBlockBytes, pixel_bytes_));
}

// Where the file holds pixel `pixel`, counted across the rows from the top
// row's first: the one mapping from the picture's order to the file's, which
// holds the bottom row first, or with a negative HEIGHT the top row.
std::uint64_t StreamedFile::place(std::uint64_t pixel) const {
  const std::uint64_t row = pixel / width_;
  return kPixelDataOffset + (top_down_ ? row : height_ - 1 - row) * row_bytes_ +
         3 * (pixel % width_);
}

// Makes the block that holds pixel `first` on: whole rows from `first`'s,
// or a piece of its row, with the row's padding when the piece ends it.
// False when its memory cannot be had.
bool StreamedFile::start_block(std::uint64_t first) {
  if (!block_.bytes) block_.bytes.reset(new (std::nothrow) char[block_room_]());  // zero padding
  if (!block_.bytes) return false;
  const std::uint64_t column = first % width_;
  if (rows_per_block_ > 0) {  // `first` begins a row
    const std::uint64_t rows = std::min<std::uint64_t>(rows_per_block_, height_ - first / width_);
    block_end_ = first + rows * width_;
    block_.offset =
        place(top_down_ ? first : block_end_ - width_);  // the block's first in the file
    block_.size = static_cast<std::size_t>(rows * row_bytes_);
  } else {
    const std::uint64_t end = std::min<std::uint64_t>(width_, column + kPiecePixels);
    const auto pixel_bytes = static_cast<std::size_t>(3 * (end - column));
    block_end_ = first + (end - column);
    block_.offset = place(first);
    block_.size = pixel_bytes + (end == width_ ? padding(width_, 3) : 0);
    std::fill_n(block_.bytes.get() + pixel_bytes, block_.size - pixel_bytes, '\0');
  }
  return true;
}

char* StreamedFile::room(std::uint64_t first, std::size_t* pixels) {
  if (failure_ == Failure::kNone && (first >= block_end_ || !block_.bytes) && !start_block(first)) {
    failure_ = Failure::kWrite;  // no memory for the rows: the file cannot be written
  }
  if (failure_ != Failure::kNone) return nullptr;
  *pixels = static_cast<std::size_t>(
      std::min<std::uint64_t>(width_ - first % width_, block_end_ - first));
  return block_.bytes.get() + (place(first) - block_.offset);
}

void StreamedFile::filled(std::uint64_t end) {
  if (end == block_end_) flush();
}

// Sends the block to its place, or keeps it when the file is written in
// place.
void StreamedFile::flush() {
  if (failure_ != Failure::kNone) return;
  if (!file_.beside()) {
    kept_.push_back(std::move(block_));
    block_ = Block{0, 0, nullptr};
  } else if (!file_.write_at(block_.offset, block_.bytes.get(), block_.size)) {
    failure_ = Failure::kWrite;
  }
}

// The headers at the file's start and, in place, every block in the file's
// order: the blocks came with the top rows first, so with the bottom row
// first in the file the rows go out in the reverse of their coming, and the
// pieces of a row as they came.
bool StreamedFile::write_rest() {
  std::ostringstream headers;
  const auto height = static_cast<std::int32_t>(top_down_ ? 0 - height_ : height_);
  write_headers(headers, 24, width_, height, 0, pixel_bytes_);
  const std::string& bytes = headers.str();
  if (file_.beside()) return file_.write_at(0, bytes.data(), bytes.size());
  std::ostream& out = file_.stream();
  out.write(bytes.data(), std::streamsize(bytes.size()));
  const std::size_t groups = kept_.size() / pieces_per_row_;
  for (std::size_t k = 0; k < groups; ++k) {
    const std::size_t group = top_down_ ? k : groups - 1 - k;
    for (std::size_t piece = 0; piece < pieces_per_row_; ++piece) {
      const Block& block = kept_[group * pieces_per_row_ + piece];
      out.write(block.bytes.get(), std::streamsize(block.size));
    }
  }
  return static_cast<bool>(out);
}

bool StreamedFile::finish() {
  if (failure_ == Failure::kNone && !(write_rest() && file_.close())) failure_ = Failure::kWrite;
  if (failure_ != Failure::kNone) file_.abandon();
  return failure_ == Failure::kNone;
}

void StreamedFile::report_failure(const char* fatal) const {
  switch (failure_) {
    case Failure::kNone:
      break;
    case Failure::kTooLarge:
      report(fatal) << "  The image is too large for a BMP file.\n";
      break;
    case Failure::kOpen:
      report(fatal) << "  Could not open the output file.\n";
      break;
    case Failure::kWrite:
      report(fatal) << "  Error while writing the output file.\n";
      break;
  }
}

}  // namespace bmp_detail
