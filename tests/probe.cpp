// SPDX-License-Identifier: MIT
// probe: calls one operation of the two libraries by name, for the case
// files in tests/cases. The library's own reports come first on standard
// output, then "= " and the result, then what the operation handed back:
// sizes, planes (one line a plane, rows split by " |"), bytes as hex.
//
//   probe [-msb] [-named] [-peak=MB] OPERATION ARGUMENT...
//
// -msb sets the BMP byte order to most significant byte first; -named makes
// every new file beside an output under a hidden name from the start, where
// it would have none until it is whole; -peak=MB says so at the end when
// the peak resident memory went beyond MB. A plane
// is given as a comma-separated list ("1,2,3", "4*0" for 0,0,0,0), or
// "null"; a stream to read from, as a file name. Streams written to are
// shown as hex.
#if defined(__unix__)
#include <sys/resource.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/travorn.hpp"
#include "bmp/bmp.hpp"
#include "common/files.hpp"
#include "ppma/ppma.hpp"

namespace {

using Args = std::vector<std::string>;

template <typename T>
struct Plane {  // one element more than given, never read; null when given as "null"
  std::vector<T> v;
  bool null = false;
  T* get() { return null ? nullptr : v.data(); }
};

template <typename T>
Plane<T> plane(const std::string& text) {
  Plane<T> p{{}, text == "null"};
  std::istringstream in(p.null ? "" : text);
  for (std::string item; std::getline(in, item, ',');) {
    const std::size_t times = item.find('*') == std::string::npos ? 1 : std::stoul(item);
    p.v.insert(p.v.end(), times, T(std::stoll(item.substr(item.find('*') + 1), nullptr, 0)));
  }
  p.v.push_back(T(9));
  return p;
}

// A file name, or null when given as "null".
const char* c(const std::string& s) { return s == "null" ? nullptr : s.c_str(); }
long long num(const std::string& text) { return std::stoll(text, nullptr, 0); }
std::size_t count(long long x, long long y) { return x > 0 ? std::size_t(x * std::llabs(y)) : 0; }

template <typename T>
void show(const char* name, const T* p, std::uint64_t n, std::uint64_t width) {
  std::cout << name << ":" << (p == nullptr ? " null" : "");
  for (std::uint64_t k = 0; p != nullptr && k < n; ++k) {
    std::cout << (k > 0 && width > 0 && k % width == 0 ? " | " : " ") << +p[k];
  }
  std::cout << "\n";
}

int result(long long status) {
  std::cout << "= " << status << "\n";
  return 0;
}

// Runs `write` on a string stream and shows its bytes.
int written(const std::function<void(std::ostream&)>& write) {
  std::ostringstream out;
  write(out);
  std::cout << "hex:" << std::hex << std::uppercase << std::setfill('0');
  for (const unsigned char c : out.str()) std::cout << " " << std::setw(2) << +c;
  std::cout << std::dec << "\n";
  return 0;
}

// Shows `n` planes of `x` by `y` filled by `read`, which gets them prefilled
// with `fill` (an element never written stays so).
template <typename T, typename Read>
int planes(int n, long long x, long long y, T fill, Read read) {
  std::vector<T> p[3];
  for (auto& v : p) v.assign(count(x, y) + 1, fill);
  result(read(p[0].data(), p[1].data(), p[2].data()));
  for (int c = 0; c < n; ++c) show(&"R\0G\0B"[2 * c], p[c].data(), count(x, y), std::uint64_t(x));
  return 0;
}

template <typename T, typename Read>
int field(const Args& a, Read read) {
  std::ifstream in(a[0], std::ios::binary);
  T value = 7;
  result(read(&value, in));
  std::cout << "value: " << +value << "\n";
  return 0;
}

int ppma_read_op(const Args& a) {
  int32_t x = -1, y = -1, m = -1, *r = nullptr, *g = nullptr, *b = nullptr;
  const int status = ppma_read(c(a[0]), &x, &y, &m, &r, &g, &b);
  result(status);
  std::cout << "size: " << x << " " << y << " " << m << "\n";
  if (status != 0 || a.size() > 1) {  // after a failure only some samples are defined
    std::cout << "planes: "
              << (r && g && b      ? "handed over"
                  : !r && !g && !b ? "null"
                                   : "some")
              << "\n";
  } else {
    show("R", r, count(x, y), std::uint64_t(x));
    show("G", g, count(x, y), std::uint64_t(x));
    show("B", b, count(x, y), std::uint64_t(x));
  }
  for (int32_t* plane : {r, g, b}) delete[] plane;
  return 0;
}

int bmp_read_op(const Args& a) {
  uint32_t x = 7;
  int32_t y = 7;
  unsigned char *r = nullptr, *g = nullptr, *b = nullptr;
  const bool failed = bmp_read(c(a[0]), &x, &y, &r, &g, &b);
  result(failed);
  std::cout << "size: " << x << " " << y << "\n";
  if (failed || a.size() > 1) {  // after a failure only some samples are defined
    std::cout << "planes: "
              << (!r && !g && !b     ? "null"
                  : r == g && g == b ? "one"
                                     : "three")
              << "\n";
  } else {
    show("R", r, count(x, y), x);
    if (g != r) show("G", g, count(x, y), x);
    if (b != r) show("B", b, count(x, y), x);
  }
  if (g != r) delete[] g;
  if (b != r) delete[] b;
  delete[] r;
  return 0;
}

int header1_read(const Args& a) {
  std::ifstream in(a[0], std::ios::binary);
  uint16_t t = 7, r1 = 7, r2 = 7;
  uint32_t s = 7, o = 7;
  result(bmp_header1_read(in, &t, &s, &r1, &r2, &o));
  bmp_header1_print(t, s, r1, r2, o);
  return 0;
}

int header2_read(const Args& a) {
  std::ifstream in(a[0], std::ios::binary);
  uint32_t f[9] = {7, 7, 7, 7, 7, 7, 7, 7, 7};
  int32_t h = 7;
  uint16_t p = 7, bits = 7;
  result(
      bmp_header2_read(in, &f[0], &f[1], &h, &p, &bits, &f[2], &f[3], &f[4], &f[5], &f[6], &f[7]));
  bmp_header2_print(f[0], f[1], h, p, bits, f[2], f[3], f[4], f[5], f[6], f[7]);
  return 0;
}

uint32_t u(const std::string& s) { return uint32_t(num(s)); }
int32_t i(const std::string& s) { return int32_t(num(s)); }
Plane<int32_t> p32(const std::string& s) { return plane<int32_t>(s); }
Plane<unsigned char> p8(const std::string& s) { return plane<unsigned char>(s); }

// The example's planes, or its samples at the pixels named "i,j" (row, column).
int ppma_example_op(const Args& a) {
  std::vector<int32_t> p[3];
  for (auto& v : p) v.assign(count(i(a[0]), i(a[1])) + 1, -9);
  result(ppma_example(i(a[0]), i(a[1]), p[0].data(), p[1].data(), p[2].data()));
  for (int k = 0; k < 3 && a.size() == 2; ++k) {
    show(&"R\0G\0B"[2 * k], p[k].data(), count(i(a[0]), i(a[1])), u(a[0]));
  }
  for (std::size_t k = 2; k < a.size(); ++k) {
    const std::size_t e = std::size_t(p32(a[k]).v[0]) * u(a[0]) + std::size_t(p32(a[k]).v[1]);
    std::cout << a[k] << ": " << p[0][e] << " " << p[1][e] << " " << p[2][e] << "\n";
  }
  return 0;
}

int ppma_read_header_op(const Args& a) {
  std::ifstream in(a[0], std::ios::binary);
  int32_t x = -1, y = -1, m = -1;
  result(ppma_read_header(in, &x, &y, &m));
  std::string rest;
  std::getline(in, rest);
  std::cout << "size: " << x << " " << y << " " << m << "\nnext line: " << rest << "\n";
  return 0;
}

// Every picture of a file of several, each read with ppma_read_header and
// ppma_read_data on the one stream: its size and its first and last pixel.
int ppma_read_pictures_op(const Args& a) {
  std::ifstream in(a[0], std::ios::binary);
  int32_t x = 0, y = 0, m = 0;
  while (ppma_read_header(in, &x, &y, &m) == 0) {
    std::vector<int32_t> p[3];
    for (auto& v : p) v.assign(count(x, y) + 1, -9);
    const int status = ppma_read_data(in, x, y, p[0].data(), p[1].data(), p[2].data());
    const std::size_t last = count(x, y) - 1;
    std::cout << "= " << status << " size: " << x << " " << y << " " << m << " first: " << p[0][0]
              << " " << p[1][0] << " " << p[2][0] << " last: " << p[0][last] << " " << p[1][last]
              << " " << p[2][last] << "\n";
  }
  return 0;
}

int bmp_palette_read_op(const Args& a) {
  std::ifstream in(a[1], std::ios::binary);
  std::vector<unsigned char> p[4];
  for (auto& v : p) v.assign(u(a[0]) + 1, 0xEE);
  result(bmp_palette_read(in, u(a[0]), p[0].data(), p[1].data(), p[2].data(), p[3].data()));
  bmp_palette_print(u(a[0]), p[0].data(), p[1].data(), p[2].data(), p[3].data());
  return 0;
}

template <typename T, typename Narrow>
int narrowed(const Args& a, Narrow narrow) {  // a plane narrowed to bytes
  const auto p = p32(a.back());
  std::vector<unsigned char> out(p.v.size(), 9);
  narrow(p.v.data(), out.data());
  show("bytes", out.data(), out.size(), 0);
  return 0;
}

// ppma_read_rows FILE [STOP]: the planes that the rows make, shown as
// ppma_read shows them; with STOP, each call instead (its row, column,
// pixels, first and last R sample), the read stopped by the STOP-th.
struct Rows {
  std::vector<int32_t> plane[3];
  long stop, calls;
};
int ppma_read_rows_op(const Args& a) {
  int32_t x = -1, y = -1, m = -1;
  Rows rows{{}, a.size() > 1 ? std::stol(a[1]) : -1, 0};
  for (auto& plane : rows.plane) plane.reserve(1);  // shown as empty, not null, when no row came
  const int status = ppma_read_rows(
      c(a[0]), &x, &y, &m,
      [](void* context, int32_t row, int32_t column, int32_t n, const int32_t* r, const int32_t* g,
         const int32_t* b) {
        auto& s = *static_cast<Rows*>(context);
        if (s.stop >= 0) {
          std::cout << "row " << row << " from " << column << ": " << n << " pixels, R " << r[0]
                    << " to " << r[n - 1] << "\n";
          return ++s.calls == s.stop ? 1 : 0;
        }
        const int32_t* const given[3] = {r, g, b};
        for (int k = 0; k < 3; ++k) s.plane[k].insert(s.plane[k].end(), given[k], given[k] + n);
        return 0;
      },
      &rows);
  result(status);
  std::cout << "size: " << x << " " << y << " " << m << "\n";
  for (int k = 0; k < 3 && status == 0 && rows.stop < 0; ++k) {
    show(&"R\0G\0B"[2 * k], rows.plane[k].data(), rows.plane[k].size(), std::uint64_t(x));
  }
  return 0;
}

// bmp_24_rows FILE XSIZE YSIZE R G B [PIECE]: the planes' pixels put PIECE at
// a time (a row by default) into a file opened row by row, then finished;
// shows each call that fails, and the finish's result.
int bmp_24_rows_op(const Args& a) {
  bmp_24_rows* rows = bmp_24_rows_open(c(a[0]), u(a[1]), i(a[2]));
  if (rows == nullptr) return result(-1);
  auto r = p8(a[3]), g = p8(a[4]), b = p8(a[5]);
  const std::size_t pixels = r.v.size() - 1;
  const std::size_t piece = a.size() > 6 ? std::stoul(a[6]) : std::max<std::size_t>(u(a[1]), 1);
  for (std::size_t k = 0; k < pixels; k += piece) {
    const auto n = uint32_t(std::min(piece, pixels - k));
    if (bmp_24_rows_put(rows, n, r.get() + k, g.get() + k, b.get() + k)) std::cout << "put = 1\n";
  }
  return result(bmp_24_rows_finish(rows));
}

const std::map<std::string, std::function<int(const Args&)>> kOperations = {
    {"ppma_read", ppma_read_op},
    {"ppma_read_header", ppma_read_header_op},
    {"ppma_read_rows", ppma_read_rows_op},
    {"bmp_24_rows", bmp_24_rows_op},
    {"ppma_read_pictures", ppma_read_pictures_op},
    {"ppma_read_data",
     [](const Args& a) {
       std::ifstream in(a[2], std::ios::binary);
       return planes<int32_t>(3, i(a[0]), i(a[1]), -9, [&](auto* r, auto* g, auto* b) {
         return ppma_read_data(in, i(a[0]), i(a[1]), r, g, b);
       });
     }},
    {"ppma_check_data",
     [](const Args& a) {
       return result(ppma_check_data(i(a[0]), i(a[1]), i(a[2]), p32(a[3]).get(), p32(a[4]).get(),
                                     p32(a[5]).get()));
     }},
    {"ppma_write",
     [](const Args& a) {
       return result(ppma_write(c(a[0]), i(a[1]), i(a[2]), p32(a[3]).get(), p32(a[4]).get(),
                                p32(a[5]).get()));
     }},
    {"ppma_example", ppma_example_op},
    {"ppma_read_test", [](const Args& a) { return result(ppma_read_test(c(a[0]))); }},
    {"ppma_write_test", [](const Args& a) { return result(ppma_write_test(c(a[0]))); }},
    {"ppma_scale_to_bytes",
     [](const Args& a) {
       return narrowed<int32_t>(a, [&](const int32_t* p, unsigned char* out) {
         ppma_scale_to_bytes(int32_t(p32(a[1]).v.size() - 1), 1, i(a[0]), p, out);
       });
     }},
    {"u_short_int_write",
     [](const Args& a) {
       return written([&](std::ostream& o) { u_short_int_write(uint16_t(u(a[0])), o); });
     }},
    {"u_long_int_write",
     [](const Args& a) { return written([&](std::ostream& o) { u_long_int_write(u(a[0]), o); }); }},
    {"long_int_write",
     [](const Args& a) { return written([&](std::ostream& o) { long_int_write(i(a[0]), o); }); }},
    {"u_short_int_read", [](const Args& a) { return field<uint16_t>(a, u_short_int_read); }},
    {"u_long_int_read", [](const Args& a) { return field<uint32_t>(a, u_long_int_read); }},
    {"long_int_read", [](const Args& a) { return field<int32_t>(a, long_int_read); }},
    {"bmp_header1_write",
     [](const Args& a) {
       return written([&](std::ostream& o) {
         bmp_header1_write(o, uint16_t(u(a[0])), u(a[1]), uint16_t(u(a[2])), uint16_t(u(a[3])),
                           u(a[4]));
       });
     }},
    {"bmp_header1_read", header1_read},
    {"bmp_header2_read", header2_read},
    {"bmp_header2_write",
     [](const Args& a) {
       return written([&](std::ostream& o) {
         bmp_header2_write(o, u(a[0]), u(a[1]), i(a[2]), uint16_t(u(a[3])), uint16_t(u(a[4])),
                           u(a[5]), u(a[6]), u(a[7]), u(a[8]), u(a[9]), u(a[10]));
       });
     }},
    {"bmp_24_data_write",
     [](const Args& a) {
       return written([&](std::ostream& o) {
         bmp_24_data_write(o, u(a[0]), i(a[1]), p8(a[2]).get(), p8(a[3]).get(), p8(a[4]).get());
       });
     }},
    {"bmp_08_data_write",
     [](const Args& a) {
       return written(
           [&](std::ostream& o) { bmp_08_data_write(o, u(a[0]), i(a[1]), p8(a[2]).get()); });
     }},
    {"bmp_24_data_read",
     [](const Args& a) {
       std::ifstream in(a[2], std::ios::binary);
       return planes<unsigned char>(3, u(a[0]), i(a[1]), 0xEE, [&](auto* r, auto* g, auto* b) {
         return bmp_24_data_read(in, u(a[0]), i(a[1]), r, g, b);
       });
     }},
    {"bmp_08_data_read",
     [](const Args& a) {
       std::ifstream in(a[2], std::ios::binary);
       return planes<unsigned char>(1, u(a[0]), i(a[1]), 0xEE, [&](auto* p, auto*, auto*) {
         return bmp_08_data_read(in, u(a[0]), i(a[1]), p);
       });
     }},
    {"bmp_palette_write",
     [](const Args& a) {
       return written([&](std::ostream& o) {
         bmp_palette_write(o, u(a[0]), p8(a[1]).get(), p8(a[2]).get(), p8(a[3]).get(),
                           p8(a[4]).get());
       });
     }},
    {"bmp_palette_read", bmp_palette_read_op},
    {"bmp_24_write",
     [](const Args& a) {
       return result(
           bmp_24_write(c(a[0]), u(a[1]), i(a[2]), p8(a[3]).get(), p8(a[4]).get(), p8(a[5]).get()));
     }},
    {"bmp_08_write",
     [](const Args& a) { return result(bmp_08_write(c(a[0]), u(a[1]), i(a[2]), p8(a[3]).get())); }},
    {"bmp_read", bmp_read_op},
    {"bmp_read_test", [](const Args& a) { return result(bmp_read_test(c(a[0]))); }},
    {"bmp_print_test", [](const Args& a) { return result(bmp_print_test(c(a[0]))); }},
    {"bmp_24_write_test", [](const Args& a) { return result(bmp_24_write_test(c(a[0]))); }},
    {"bmp_08_write_test", [](const Args& a) { return result(bmp_08_write_test(c(a[0]))); }},
    {"travorn", [](const Args& a) { return result(travorn(c(a[0]), c(a[1]))); }},
    {"imat_vert_flip",
     [](const Args& a) {
       auto p = p32(a[2]);
       imat_vert_flip(i(a[0]), i(a[1]), p.get());
       show("plane", p.v.data(), p.v.size() - 1, 0);
       return 0;
     }},
    {"int_2_u_char",
     [](const Args& a) {
       return narrowed<int32_t>(a, [&](const int32_t* p, unsigned char* out) {
         int_2_u_char(i(a[0]), i(a[1]), p, out);
       });
     }},
};

// Says so when the process's peak resident memory went beyond `megabytes`.
void check_peak([[maybe_unused]] long megabytes) {
#if defined(__unix__)
  rusage usage{};
  const char* slack = std::getenv("PROBE_PEAK_SLACK");  // an emulator's own memory, in MB
  if (megabytes > 0 && slack != nullptr) megabytes += std::atol(slack);
  if (megabytes > 0 && getrusage(RUSAGE_SELF, &usage) == 0 && usage.ru_maxrss > megabytes * 1024) {
    std::cout << "peak memory " << usage.ru_maxrss / 1024 << " MB, above " << megabytes << " MB\n";
  }
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
  Args args(argv + 1, argv + argc);
  long peak = 0;
  for (; !args.empty() && args[0][0] == '-'; args.erase(args.begin())) {
    if (args[0] == "-msb") bmp_byte_swap_set(false);
    if (args[0] == "-named") travorn_detail::named_files_only() = true;
    if (args[0].rfind("-peak=", 0) == 0) peak = std::stol(args[0].substr(6));
  }
  const auto op = args.empty() ? kOperations.end() : kOperations.find(args[0]);
  if (op == kOperations.end()) {
    std::cerr << "usage: probe [-msb] [-named] [-peak=MB] OPERATION ARGUMENT...\n";
    return 2;
  }
  const int status = op->second(Args(args.begin() + 1, args.end()));
  check_peak(peak);
  return status;
}
