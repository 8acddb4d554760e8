// Helpers the fuzz targets share.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_lines.h"

// The input bytes as text.
inline std::string_view InputText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input as the lines of a file (CR LF, LF and CR end a line).
inline std::vector<std::string> InputLines(const uint8_t* data, size_t size) {
  return SplitLines(InputText(data, size));
}

// A folder of this process under the system's temporary folder, made on first use and
// removed when the process ends normally. Ends in "/".
inline const std::string& FuzzTempDir() {
  struct TDir {
    std::filesystem::path Path;
    TDir() {
      Path = std::filesystem::temp_directory_path() / ("velto_fuzz_" + std::to_string(getpid()));
      std::filesystem::remove_all(Path);
      std::filesystem::create_directories(Path);
    }
    ~TDir() {
      std::error_code ec;
      std::filesystem::remove_all(Path, ec);
    }
  };
  static const TDir dir;
  static const std::string text = dir.Path.string() + "/";
  return text;
}

// Writes bytes as the whole file at path; false when it cannot.
inline bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Stops the run with a report at a broken property.
#define FUZZ_CHECK(condition)                                                      \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition); \
      __builtin_trap();                                                            \
    }                                                                              \
  } while (false)
