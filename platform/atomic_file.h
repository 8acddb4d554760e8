// Whole-file reading, and writing through a temporary file renamed over the old one, so
// that a crash or a signal never leaves half a file and never a temporary file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Writes the file's bytes to `out`; false with *why set when they cannot be made.
using TFileWriter = std::function<bool(std::ostream& out, std::string& why)>;

// Writes a file. A regular file (new, or reached through symbolic links) is written to a
// temporary file of a short name in its folder, flushed to disk and renamed over it; an
// existing file keeps its permissions, and one that may not be written is refused. A FIFO
// or a character device ("/dev/stdout", "/dev/null") is written directly, never replaced;
// "-" and "/dev/fd/N" write to the program's own descriptor. A folder or another kind of
// file is refused. On failure the old file is untouched, no temporary file is left and
// *error (when given) names `path` as given with the system's reason.
bool WriteFileAtomically(const std::filesystem::path& path, const TFileWriter& write,
                         std::string* error = nullptr);
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error = nullptr);

// The call that puts a temporary file's bytes on disk before it is renamed over the old
// file: fsync unless a test has put its own in (to see that it comes, and when). Empty:
// fsync again.
using TFileSync = std::function<int(int fd)>;
void SetFileSync(TFileSync sync);

// Why a file written to `output` would be refused or would replace one of `inputs` (also
// through links): empty when `output` can take it. Checked before a long job starts.
std::string OutputFileProblem(const std::filesystem::path& output,
                              const std::vector<std::filesystem::path>& inputs = {});

// Removes the temporary files of writes under way; for a program that must end at once.
// Waits while a write creates or renames its temporary file.
void RemovePendingTemporaryFiles();

// The reason a FIFO, a device or a socket is refused where a file is read.
inline constexpr std::string_view kNotRegularFile = "not a regular file";

// Opens a regular file with `flags` (O_RDONLY, O_NOFOLLOW...) and close-on-exec. Its type
// is checked before the open and again after it, and the open never waits (a FIFO put in
// its place meanwhile): a folder (EISDIR's text), a FIFO, a device or a socket
// (kNotRegularFile) is refused. The descriptor, or -1 with *why set to the reason.
int OpenRegularFile(const std::filesystem::path& path, int flags, std::string* why = nullptr);

// The reason a FIFO that no program reads is refused where a file is written.
inline constexpr std::string_view kFifoWithoutReader = "no program reads from this FIFO";
// The reason a device or a socket is refused where a log is written.
inline constexpr std::string_view kNotLogFile = "not a regular file or a FIFO";

// Opens a log to append lines to: a regular file (created when missing) or a FIFO that a
// program reads, with close-on-exec. The open never waits: a FIFO without a reader
// (kFifoWithoutReader), a folder (EISDIR's text), a device or a socket (kNotLogFile) is
// refused; a device is never opened. A FIFO's descriptor stays non-blocking, so that a
// reader that stops reading cannot stop the writer. The descriptor, or -1 with *why set
// to the reason.
int OpenLogFile(const std::filesystem::path& path, std::string* why = nullptr);

// The whole regular file as bytes, or nothing (with *error set, naming path) when it cannot
// be read, is not a regular file (see OpenRegularFile) or holds more than maxBytes.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path,
                                         std::string* error = nullptr,
                                         uint64_t maxBytes = UINT64_MAX);
