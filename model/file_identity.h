// What a window loaded or last wrote: the file's size, modification time and a hash of its
// bytes, so that a change by another program is told from the window's own writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// How a file stands against what was remembered of it.
enum class TFileState : uint8_t {
  Unknown,    // nothing remembered (a new song)
  Unchanged,  // the same bytes (a file touched but not changed counts as unchanged)
  Changed,    // other bytes, or a file that cannot be read any more
  Deleted,    // no file at the path
};

// The identity of a file's contents at one moment.
struct TFileStamp {
  uint64_t Size = 0;
  int64_t ModifiedNs = 0;  // modification time, nanoseconds since the epoch
  uint64_t Hash = 0;       // FNV-1a of the bytes
  bool operator==(const TFileStamp&) const = default;
};

// FNV-1a (64 bits) of bytes.
uint64_t HashBytes(std::string_view bytes);

// The stamp of the file at path, made from its bytes; nothing when it cannot be read.
std::optional<TFileStamp> StampFile(const std::filesystem::path& path);

// What a window remembered of its file, as kept beside its undo files so that a window
// made from its song after an unclean end knows the file as that window last saw it.
struct TSavedFileIdentity {
  std::string Path;  // the file's path (UTF-8)
  TFileStamp Stamp;
  bool Utf8 = false;
  bool operator==(const TSavedFileIdentity&) const = default;
};

// Two lines: size, modification time, hash and the UTF-8 flag in decimal, then the path.
std::string EncodeFileIdentity(const TSavedFileIdentity& identity);
// Nothing when the bytes are not such two lines.
std::optional<TSavedFileIdentity> DecodeFileIdentity(const std::string& bytes);

// The file at path against a stamp: Unknown without a stamp, else Deleted, Changed (other
// size or bytes, or unreadable) or Unchanged.
TFileState CompareWithStamp(const std::filesystem::path& path,
                            const std::optional<TFileStamp>& stamp);

class TFileIdentity {
 public:
  // Remembers the file at path as it is now, with the song text lines it holds (code page
  // 1251, after the load's conversion) and whether it was UTF-8. False when the file
  // cannot be read (nothing is remembered then).
  bool Remember(const std::filesystem::path& path, std::vector<std::string> lines,
                bool utf8 = false);
  // Takes what another window remembered of the file (its stamp, not the file as it is
  // now) with the song text lines it held then (empty when they are not known).
  void Adopt(const TSavedFileIdentity& saved, std::vector<std::string> lines);
  // What is remembered, to be kept beside the undo files; nothing when nothing is.
  std::optional<TSavedFileIdentity> Saved() const;
  // Forgets the file (a song that has no file any more).
  void Forget();

  // The file at path against what was remembered. The size and the hash decide: neither
  // the time (a clock set back, a copy that keeps times) nor a touch fools the check. A
  // touched file keeps its new time in the record.
  TFileState Check(const std::filesystem::path& path);

  // True when a file is remembered, and it is path (the same name, or another name of it).
  bool Holds(const std::filesystem::path& path) const;
  const std::optional<TFileStamp>& Stamp() const { return stamp_; }
  // The song text lines the file held when it was remembered.
  const std::vector<std::string>& Lines() const { return lines_; }
  // The file was UTF-8 text converted to code page 1251 when it was read.
  bool WasUtf8() const { return utf8_; }

 private:
  std::filesystem::path path_;
  std::optional<TFileStamp> stamp_;
  std::vector<std::string> lines_;
  bool utf8_ = false;
};
