#include "platform/shared_library.h"

#include <dlfcn.h>

std::unique_ptr<TSharedLibrary> TSharedLibrary::Open(const std::string& path, std::string* error) {
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    if (error != nullptr) {
      const char* why = dlerror();
      *error = why != nullptr ? why : "cannot be loaded";
    }
    return nullptr;
  }
  return std::unique_ptr<TSharedLibrary>(new TSharedLibrary(handle));
}

TSharedLibrary::~TSharedLibrary() {
  dlclose(handle_);
}

void* TSharedLibrary::Symbol(const char* name) const {
  return dlsym(handle_, name);
}
