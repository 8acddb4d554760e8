// The error messages of the song side: the text of each error code and the reporters
// that show it. Every text is code page 1251; lines are separated by CR.
#pragma once

#include <cstdint>
#include <string>

// The message box text of a music, song, device or harmonizer error: Place, CR, the
// code's text (each line ending with CR), then Detail (shortened, control bytes escaped:
// ShortUserText).
std::string SongErrorMessage(uint8_t code, const std::string& detail, const std::string& place);

// The same for an error of the handler language.
std::string HandlerErrorMessage(uint8_t code, const std::string& detail, const std::string& place);

// Show the message in an error box (LangMessageBox kind 3). They change no global,
// play no signal and speak nothing.
void ReportSongError(uint8_t code, const std::string& detail, const std::string& place);
void ReportHandlerError(uint8_t code, const std::string& detail, const std::string& place);
