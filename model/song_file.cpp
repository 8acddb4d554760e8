#include "model/song_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "base/errors.h"
#include "model/song.h"
#include "model/song_text.h"
#include "platform/atomic_file.h"
#include "platform/codec1251.h"
#include "platform/text_lines.h"
#include "settings/lang_texts.h"

namespace {

// Language text `id` (or its built-in text) with its place holders filled, in UTF-8: the
// reasons of this file may quote characters code page 1251 cannot hold.
std::string Said(int id, std::string_view builtInUtf8, std::initializer_list<std::string_view> args) {
  return SubstituteArgs(Cp1251ToUtf8(LangStrOr(id, builtInUtf8)), args);
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// "U+2713 "✓"" for the first character of the UTF-8 text that code page 1251 cannot hold,
// with its line (1-based).
std::string FirstRefusedCharacter(std::string_view utf8) {
  size_t line = 1;
  size_t start = 0;
  for (size_t i = 0; i <= utf8.size(); ++i) {
    if (i < utf8.size() && utf8[i] != '\n') {
      continue;
    }
    const TCp1251Text converted = Utf8ToCp1251(utf8.substr(start, i - start));
    if (!converted.Refused.empty()) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(converted.Refused[0]));
      return Said(2168, "%s \"%s\" в строке %s",
                  {code, CharsToUtf8(converted.Refused.substr(0, 1)), std::to_string(line)});
    }
    ++line;
    start = i + 1;
  }
  return "";
}

// The length (2 to 4) of the well-formed UTF-8 sequence of a character beyond ASCII at
// bytes[i], or 0 when there is none.
size_t Utf8SequenceAt(std::string_view bytes, size_t i) {
  const auto at = [&](size_t k) -> unsigned {
    return i + k < bytes.size() ? static_cast<uint8_t>(bytes[i + k]) : 0u;
  };
  const auto cont = [&](size_t k) { return (at(k) & 0xC0u) == 0x80u; };
  const unsigned lead = at(0);
  if (lead >= 0xC2 && lead <= 0xDF) {
    return cont(1) ? 2 : 0;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    const unsigned low = lead == 0xE0 ? 0xA0 : 0x80;
    const unsigned high = lead == 0xED ? 0x9F : 0xBF;
    return at(1) >= low && at(1) <= high && cont(2) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    const unsigned low = lead == 0xF0 ? 0x90 : 0x80;
    const unsigned high = lead == 0xF4 ? 0x8F : 0xBF;
    return at(1) >= low && at(1) <= high && cont(2) && cont(3) ? 4 : 0;
  }
  return 0;
}

// The line (1-based) of the first byte that is not UTF-8 in text that is UTF-8 damaged in
// a few places: at least 80 in 100 of its bytes beyond ASCII, and at least six, form
// well-formed sequences. Code page 1251 text rarely forms a sequence (an upper-case
// letter before "Ё" does), so it never counts as damaged UTF-8. 0 when not so.
size_t DamagedUtf8Line(std::string_view bytes) {
  size_t valid = 0;
  size_t invalid = 0;
  size_t line = 1;
  size_t firstBadLine = 0;
  for (size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<uint8_t>(bytes[i]);
    if (byte < 0x80) {
      line += byte == '\n' ? 1 : 0;
      ++i;
    } else if (const size_t length = Utf8SequenceAt(bytes, i)) {
      valid += length;
      i += length;
    } else {
      firstBadLine = firstBadLine == 0 ? line : firstBadLine;
      ++invalid;
      ++i;
    }
  }
  return invalid > 0 && valid >= 6 && valid >= 4 * invalid ? firstBadLine : 0;
}

// The song file's bytes as code page 1251: UTF-8 text (with or without its byte order mark)
// is converted when every character fits. Nothing, with *why set, when it does not.
std::optional<std::string> SongBytesAsCp1251(std::string bytes, std::string& why) {
  const bool bom = bytes.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0;
  if (bom) {
    bytes.erase(0, kUtf8Bom.size());
  }
  if (!bom && !IsUtf8BeyondAscii(bytes)) {
    // Read as code page 1251 it would be saved back as garbled letters.
    if (const size_t line = DamagedUtf8Line(bytes)) {
      why = Said(2165,
                 "файл в кодировке UTF-8, но в строке %s есть байт не из UTF-8 (файл повреждён); "
                 "исправьте эту строку или сохраните файл в кодировке 1251",
                 {std::to_string(line)});
      return std::nullopt;
    }
    return bytes;
  }
  if (std::optional<std::string> text = Utf8ToCp1251Exact(bytes)) {
    return text;
  }
  const std::string refused = FirstRefusedCharacter(bytes);
  why = refused.empty()
            ? Said(2167,
                   "файл не в кодировке 1251 (Windows-1251), в которой должен быть сонг: после "
                   "метки UTF-8 в нём текст, который не является правильным UTF-8",
                   {})
            : Said(2166,
                   "файл не в кодировке 1251 (Windows-1251), в которой должен быть сонг: это "
                   "текст UTF-8, в нём есть %s, а в кодировке 1251 такого знака нет",
                   {refused});
  return std::nullopt;
}

// The number (1-based) of the first line longer than kMaxSongLineBytes, or 0.
size_t FirstLongLine(const std::vector<std::string>& lines) {
  const auto it = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.size() > kMaxSongLineBytes;
  });
  return it == lines.end() ? 0 : static_cast<size_t>(it - lines.begin()) + 1;
}

// Why a file of `lines` would be refused, without the file's name; its size as written
// (CR LF line ends) only when `written` (the reader has checked the file's own size).
std::string LinesFault(const std::vector<std::string>& lines, bool written) {
  if (const size_t line = FirstLongLine(lines)) {
    return Said(2169, "строка %s длиннее %s байт, а длиннее строка сонга быть не может",
                {std::to_string(line), std::to_string(kMaxSongLineBytes)});
  }
  uint64_t bytes = 0;
  for (const std::string& line : lines) {
    bytes += line.size() + 2;  // CR LF
  }
  if (written && bytes > kMaxSongFileBytes) {
    return Said(2170, "сонг больше %s байт, а больше файл сонга быть не может",
                {std::to_string(kMaxSongFileBytes)});
  }
  return std::string();
}

}  // namespace

std::optional<std::vector<std::string>> ReadSongFileLines(const std::filesystem::path& path,
                                                          std::string* error) {
  std::optional<std::string> bytes = ReadFileBytes(path, error, kMaxSongFileBytes);
  if (!bytes) {
    return std::nullopt;
  }
  std::string why;
  std::optional<std::string> text = SongBytesAsCp1251(std::move(*bytes), why);
  std::vector<std::string> lines;
  if (text) {
    lines = SplitLines(*text);
    why = LinesFault(lines, false);
  }
  if (!why.empty()) {
    if (error != nullptr) {
      *error = path.string() + ": " + why;
    }
    return std::nullopt;
  }
  return lines;
}

std::string SongLinesFault(const std::vector<std::string>& lines) {
  return LinesFault(lines, true);
}

bool LoadSongFile(TVelto& window, const std::filesystem::path& path, const std::string& Label,
                  std::string* error) {
  std::optional<std::vector<std::string>> lines = ReadSongFileLines(path, error);
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
  std::string fault = window.TrackCount > kMaxSongTracks
                          ? Said(2161, "в сонге больше %s треков, а больше их быть не может",
                                 {std::to_string(kMaxSongTracks)})
                          : SongLinesFault(lines);
  if (!fault.empty()) {
    if (error != nullptr) {
      *error = path.string() + ": " + fault;
    }
    return false;
  }
  // A song is a file to be read back: a FIFO or a device in its place is not written into.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    if (error != nullptr) {
      *error = path.string() + ": " + std::string(kNotRegularFile);
    }
    return false;
  }
  return WriteTextLines(path, lines, error);
}

uint64_t SongFileBytes(const TVelto& window) {
  constexpr uint64_t kLineEnd = 2;  // CR LF
  PTreck track = window.HeadTreck != nullptr ? window.HeadTreck : window.CurrentTrack;
  while (track != nullptr && track->Prev != nullptr) {
    track = track->Prev;
  }
  uint64_t bytes = 0;
  for (; track != nullptr; track = track->Next) {
    bytes += TrackHeaderLine(*track).size() + track->Caption.size() + 2 * kLineEnd;
    for (const std::string& line : track->MusicStrings) {
      bytes += line.size() + kLineEnd;
    }
    for (const std::string& line : track->ProgramStrings) {
      bytes += line.size() + kLineEnd;
    }
  }
  return bytes;
}

std::string SongTextErrorReason() {
  const TErrors e = GErrors.Get();
  if (e.Code != kSongTextError) {
    return std::string();
  }
  const std::string track = std::to_string(e.ModuleLine);
  const std::string line = std::to_string(e.TextLine);
  const std::string quoted = Cp1251ToUtf8(ShortUserText(e.Text));
  switch (e.Extra) {
    case kSongTextEndsInTrack:
      return Said(2160,
                  "файл кончается внутри трека %s \"%s\": его заголовок обещает больше строк, "
                  "чем за ним следует",
                  {track, quoted});
    case kTooManySongTracks:
      return Said(2161, "в сонге больше %s треков, а больше их быть не может",
                  {std::to_string(kMaxSongTracks)});
    case kNoSongTrack:
      return Said(2162, "это не сонг: в нём нет ни одного трека", {});
    default:
      break;
  }
  if (e.Text.find_first_not_of(" \t") == std::string::npos) {
    return Said(2163, "строка %s: здесь ожидался заголовок трека %s (семь чисел), а строка пуста",
                {line, track});
  }
  return Said(2164, "строка %s: здесь ожидался заголовок трека %s (семь чисел), а в ней \"%s\"",
              {line, track, quoted});
}

std::string DescribeSongTextError() {
  const std::string code = Said(2158, "ошибка %s", {std::to_string(GErrors.Get().Code)});
  const std::string reason = SongTextErrorReason();
  return reason.empty() ? code : code + ": " + reason;
}
