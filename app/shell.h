// The shell's choices that need no window: which language file to load, which number a
// new song window gets.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The language files (*.lng, any case) in folder, sorted by name.
std::vector<std::string> ListLanguageFiles(const std::string& folder);

// The language file to load: the setting ([MAIN] Language) when it names one of `files`,
// else Russian.lng for a locale whose language is Russian ("ru", "ru_RU.UTF-8") and
// English.lng for any other. Empty when the chosen file is not among `files`.
std::string ChooseLanguageFile(const std::string& setting, const std::string& locale,
                               const std::vector<std::string>& files);

// The locale of the user's messages: LC_ALL, else LC_MESSAGES, else LANG.
std::string MessagesLocale();

// The language file of Languages/ under ProgramDir that velto.ini chooses (ChooseLanguageFile
// with the messages locale); empty when there is none.
std::string StartLanguageFile();

// Songs a later copy handed over while the program was closing: kept in Resources/temp
// for the next start, which takes them (and deletes the list) to open them.
void KeepHandedOverSongs(const std::string& programDir, const std::vector<std::string>& songs);
std::vector<std::string> TakeKeptHandedOverSongs(const std::string& programDir);

// Why the program cannot work in programDir, whose Resources/temp (made by the start) must
// take files (undo steps, recovery, settings): empty when it can, else (code page 1251) the
// folder and what it needs, with the system's reason. Writes and removes a probe file.
std::string ProgramFolderProblem(const std::string& programDir);

// The smallest number from 1 on that no open window uses.
int32_t SmallestFreeWindowNumber(const std::vector<int32_t>& used);

// The smallest number from 1 on that no open window uses and whose undo files no live
// window of another copy holds (heldElsewhere).
int32_t FreeWindowNumber(const std::vector<int32_t>& used,
                         const std::function<bool(int32_t)>& heldElsewhere);
