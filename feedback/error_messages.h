// The error messages of the song side: the text of each error code and the reporters
// that show it. Every text is code page 1251; lines are separated by CR.
#pragma once

#include <cstdint>
#include <string>

// The message box text of a music, song, device or harmonizer error: Place, CR, the
// code's text (each line ending with CR), then Reason whole (the program's own sentence,
// which may name a file), then on a line of its own Detail, the user's text it quotes
// (control bytes escaped, a runaway text cut: ShortUserText). Place is never shortened.
std::string SongErrorMessage(uint8_t code, const std::string& detail, const std::string& place,
                             const std::string& reason = std::string());

// The same for an error of the handler language.
std::string HandlerErrorMessage(uint8_t code, const std::string& detail, const std::string& place,
                                const std::string& reason = std::string());

// A message's lines joined by blanks, for one line of a log or the command line.
std::string ErrorMessageLine(const std::string& message);

// Show the message in an error box (LangMessageBox kind 3). They change no global,
// play no signal and speak nothing.
void ReportSongError(uint8_t code, const std::string& detail, const std::string& place);
void ReportHandlerError(uint8_t code, const std::string& detail, const std::string& place);
