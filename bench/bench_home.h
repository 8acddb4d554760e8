// A program folder of its own for a benchmark's window: its undo and present-song files.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "settings/settings.h"

class TBenchHome {
 public:
  TBenchHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-bench-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
    std::filesystem::create_directories(path_ / "Resources" / "temp");
    ProgramDir = path_.string() + "/";
  }
  ~TBenchHome() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TBenchHome(const TBenchHome&) = delete;
  TBenchHome& operator=(const TBenchHome&) = delete;

 private:
  std::filesystem::path path_;
};
