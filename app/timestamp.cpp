// SPDX-License-Identifier: MIT
#include <cstdio>
#include <ctime>
#include <iostream>

#include "app/travorn.hpp"

void timestamp() {
  static char time_buffer[40];  // the last stamp; overwritten by every call
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  if (local == nullptr ||
      std::strftime(time_buffer, sizeof time_buffer, "%d %B %Y %I:%M:%S %p", local) == 0) {
    time_buffer[0] = '\0';
  }
  std::cout << time_buffer << "\n" << std::flush;
}
