#include "feedback/song_text_report.h"

#include "feedback/error_messages.h"
#include "model/song.h"
#include "model/song_text.h"

void InstallSongTextErrorReport() {
  SetSongTextErrorReport([] { ReportSongError(kSongTextError, std::string(), std::string()); });
}
