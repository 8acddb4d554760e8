// The cache of solved measures: lines "rhythm key=solution", kept in "Resources/qem.dur".
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class TMeasureCache {
 public:
  // The solution stored for a rhythm key, if any.
  std::optional<std::string> Find(const std::string& key) const;
  // Stores a solution, replacing one stored for the same key.
  void Add(const std::string& key, const std::string& solution);
  void Clear();
  size_t Size() const;

  // Replaces the entries with the file's lines (CR LF, LF or CR); lines without "=" are
  // dropped. False when the file cannot be read (the cache is then left empty).
  bool Load(const std::string& path);
  // Writes every entry as "key=solution" CR LF through a temporary file renamed over the
  // old one. False on failure.
  bool Save(const std::string& path) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, std::string>> lines_;
  std::unordered_map<std::string, size_t> index_;
};

// The cache every translation uses unless it is given another.
extern TMeasureCache GMeasureCache;

// The cache file of the installation tree.
std::string MeasureCachePath();
// Loads GMeasureCache at start and saves it at exit.
bool LoadMeasureCache();
bool SaveMeasureCache();
