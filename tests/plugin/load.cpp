// SPDX-License-Identifier: MIT
// load PLUGIN IN OUT: loads the shared object PLUGIN with dlopen, as a
// program that takes plugins does, and calls its plugin_convert(IN, OUT).
#include <dlfcn.h>

#include <cstdio>

int main(int argc, char* argv[]) {
  if (argc != 4) return 2;
  void* plugin = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (plugin == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 2;
  }
  using Convert = int (*)(const char*, const char*);
  const auto convert = reinterpret_cast<Convert>(dlsym(plugin, "plugin_convert"));
  if (convert == nullptr) return 2;
  const int status = convert(argv[2], argv[3]);
  dlclose(plugin);
  return status;
}
