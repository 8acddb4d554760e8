#include "model/song_file.h"

#include <optional>

#include "base/errors.h"
#include "model/song.h"
#include "model/song_text.h"
#include "platform/codec1251.h"
#include "platform/text_lines.h"

bool LoadSongFile(TVelto& window, const std::filesystem::path& path, const std::string& Label,
                  std::string* error) {
  std::optional<std::vector<std::string>> lines = ReadTextLines(path, error);
  if (!lines) {
    return false;
  }
  std::vector<std::string> data;
  data.reserve(lines->size() + 2);
  data.push_back(Label);
  data.push_back(path.string());
  data.insert(data.end(), std::make_move_iterator(lines->begin()),
              std::make_move_iterator(lines->end()));
  std::vector<std::string> previous = std::move(window.Data);
  window.Data = std::move(data);
  std::string label;
  window.Convert(label);
  if (GErrors.Code() != 0) {
    window.Data = std::move(previous);
    if (error != nullptr) {
      *error = path.string() + ": " + DescribeSongTextError();
    }
    return false;
  }
  return true;
}

bool SaveSongFile(TVelto& window, const std::filesystem::path& path, const std::string& Label,
                  std::string* error) {
  window.DeConvert(Label);
  const std::vector<std::string> lines(window.Data.begin() + 2, window.Data.end());
  return WriteTextLines(path, lines, error);
}

std::string DescribeSongTextError() {
  const TErrors e = GErrors.Get();
  if (e.Code != kSongTextError) {
    return "error " + std::to_string(e.Code);
  }
  if (e.ModuleLine == 0) {
    return "error 39: not a song (too few lines)";
  }
  return "error 39: bad header of track " + std::to_string(e.ModuleLine) + ": \"" +
         Cp1251ToUtf8(ShortUserText(e.Text)) + "\"";
}
