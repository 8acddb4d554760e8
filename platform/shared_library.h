// A shared library loaded at run time (dlopen), unloaded when the object goes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TSharedLibrary {
 public:
  // Loads the library at path with every symbol resolved now and kept to itself. Null, with
  // *error saying why, when it cannot be loaded.
  static std::unique_ptr<TSharedLibrary> Open(const std::string& path, std::string* error);
  ~TSharedLibrary();
  TSharedLibrary(const TSharedLibrary&) = delete;
  TSharedLibrary& operator=(const TSharedLibrary&) = delete;

  // The address of an exported symbol, null when the library has none of that name.
  void* Symbol(const char* name) const;
  // The system's handle of the library (never 0).
  intptr_t Handle() const { return reinterpret_cast<intptr_t>(handle_); }

 private:
  explicit TSharedLibrary(void* handle) : handle_(handle) {}
  void* handle_;  // owned
};
