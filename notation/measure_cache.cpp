#include "notation/measure_cache.h"

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "settings/settings.h"

TMeasureCache GMeasureCache;

std::optional<std::string> TMeasureCache::Find(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = index_.find(key);
  if (it == index_.end()) {
    return std::nullopt;
  }
  return lines_[it->second].second;
}

void TMeasureCache::Add(const std::string& key, const std::string& solution) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto [it, inserted] = index_.try_emplace(key, lines_.size());
  if (inserted) {
    lines_.emplace_back(key, solution);
  } else {
    lines_[it->second].second = solution;
  }
}

void TMeasureCache::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
  index_.clear();
}

size_t TMeasureCache::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_.size();
}

bool TMeasureCache::Load(const std::string& path) {
  Clear();
  std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) {
    return false;
  }
  const std::string& text = *bytes;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string line = text.substr(start, end - start);
    size_t eq = line.find('=');
    if (eq != std::string::npos && eq > 0) {
      Add(line.substr(0, eq), line.substr(eq + 1));
    }
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return true;
}

bool TMeasureCache::Save(const std::string& path) const {
  std::string bytes;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [key, solution] : lines_) {
      bytes += key + "=" + solution + "\r\n";
    }
  }
  return WriteFileAtomically(path, bytes);
}

std::string MeasureCachePath() {
  std::optional<std::filesystem::path> path = FindUnder(ProgramDir.empty() ? "." : ProgramDir, "Resources\\qem.dur");
  return path ? path->string() : ProgramDir + "Resources/qem.dur";
}

bool LoadMeasureCache() {
  return GMeasureCache.Load(MeasureCachePath());
}

bool SaveMeasureCache() {
  return GMeasureCache.Save(MeasureCachePath());
}
