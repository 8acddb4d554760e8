// A fresh temporary folder for one test, removed with everything in it, and whole-file
// reads and writes.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

class TTempDir {
 public:
  TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  // The folder, ending in "/".
  std::string Path() const { return path_.string() + "/"; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The bytes of a file; empty when it cannot be read.
inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Copies the installed resources folder `from` to `to`, without the temporary files a
// running program keeps in it (Resources/temp, a cache being rewritten): tests run in
// parallel, and programs started on the build's own tree write there meanwhile.
inline void CopyInstalledResources(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::create_directories(to);
  std::error_code error;
  for (auto entry = std::filesystem::directory_iterator(from, error);
       !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
    const std::filesystem::path& path = entry->path();
    std::error_code vanished;
    if (entry->is_directory(vanished)) {
      if (path.filename() != "temp") {
        CopyInstalledResources(path, to / path.filename());
      }
    } else if (entry->is_regular_file(vanished) && path.filename().string().find(".tmp") == std::string::npos) {
      std::filesystem::copy_file(path, to / path.filename(), std::filesystem::copy_options::overwrite_existing,
                                 vanished);
    }
  }
}
