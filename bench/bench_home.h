// A program folder of its own for a benchmark's window: its undo and present-song files.
#pragma once

#include <filesystem>

#include "settings/settings.h"
#include "tests/support/temp_dir.h"

class TBenchHome {
 public:
  TBenchHome() {
    std::filesystem::create_directories(std::filesystem::path(dir_.Path()) / "Resources" / "temp");
    ProgramDir = dir_.Path();
  }

 private:
  TTempDir dir_;
};
