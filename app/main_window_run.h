// Running the program with its window.
#pragma once

#include <string>
#include <vector>

// A start that cannot go on: `text` (code page 1251) on stderr, spoken, and in an error
// box when there is a display. The exit status (1).
int ShowStartProblem(int argc, char** argv, const std::string& text);

// Opens the main window with each song of `songs` in its own song window and runs until
// the window closes; its exit status. Without a display it says so on stderr and returns 1.
// The plug-ins that could not be loaded (UTF-8 lines) are shown in one box first. With
// `playOne`, exactly one song given plays at once.
int RunMainWindow(int argc, char** argv, const std::vector<std::string>& songs,
                  const std::vector<std::string>& pluginProblems = {}, bool playOne = true);
