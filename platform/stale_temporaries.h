// The hidden temporary files ".velto-XXXXXXXX.tmp" that a file write makes beside its
// target: a program killed during a write leaves one behind. A write holds a lock on its
// temporary file while it writes, so a temporary that is old and unlocked is a leftover.
#pragma once

#include <filesystem>
#include <string_view>

// True for a name the writer gives its temporary files: ".velto-", eight lower-case
// hexadecimal digits, ".tmp".
bool IsOwnTemporaryName(std::string_view name);

// Removes from `folder` the temporaries of that name that were last written before this
// run of the program started and that no write holds locked. Only regular files are
// touched. How many were removed.
int RemoveStaleTemporaries(const std::filesystem::path& folder);

// RemoveStaleTemporaries, the first time a folder is named in this run only.
void RemoveStaleTemporariesOnce(const std::filesystem::path& folder);

// RemoveStaleTemporariesOnce for the folder that a write of `file` makes its temporary in:
// the folder of the file its links lead to. Called when a song is opened or recovered, so
// that what a killed save left beside it goes before the next save into that folder.
void RemoveStaleTemporariesBeside(const std::filesystem::path& file);
