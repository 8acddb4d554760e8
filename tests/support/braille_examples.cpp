#include "tests/support/braille_examples.h"

#include <cctype>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace {

// A JSON value, enough for the examples file.
struct TJson {
  enum class Kind { Null, Number, String, Array, Object } Type = Kind::Null;
  double Number = 0;
  std::string Text;
  std::vector<TJson> Items;
  std::map<std::string, TJson> Fields;

  const TJson& operator[](const std::string& key) const { return Fields.at(key); }
};

class TJsonParser {
 public:
  explicit TJsonParser(std::string text) : s_(std::move(text)) {}

  TJson Parse() {
    TJson value = Value();
    Space();
    if (pos_ != s_.size()) {
      throw std::runtime_error("trailing text");
    }
    return value;
  }

 private:
  void Space() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) {
      ++pos_;
    }
  }
  void Expect(char c) {
    Space();
    if (pos_ >= s_.size() || s_[pos_] != c) {
      throw std::runtime_error(std::string("expected ") + c);
    }
    ++pos_;
  }
  bool Peek(char c) {
    Space();
    return pos_ < s_.size() && s_[pos_] == c;
  }
  TJson Value() {
    Space();
    TJson v;
    if (Peek('[')) {
      v.Type = TJson::Kind::Array;
      Expect('[');
      while (!Peek(']')) {
        v.Items.push_back(Value());
        if (!Peek(']')) {
          Expect(',');
        }
      }
      Expect(']');
    } else if (Peek('{')) {
      v.Type = TJson::Kind::Object;
      Expect('{');
      while (!Peek('}')) {
        std::string key = String();
        Expect(':');
        v.Fields[key] = Value();
        if (!Peek('}')) {
          Expect(',');
        }
      }
      Expect('}');
    } else if (Peek('"')) {
      v.Type = TJson::Kind::String;
      v.Text = String();
    } else if (s_.compare(pos_, 4, "null") == 0) {
      pos_ += 4;
    } else {
      v.Type = TJson::Kind::Number;
      size_t used = 0;
      v.Number = std::stod(s_.substr(pos_), &used);
      pos_ += used;
    }
    return v;
  }
  // A string; escapes other than \" \\ \n are kept as the escaped character.
  std::string String() {
    Expect('"');
    std::string out;
    while (pos_ < s_.size() && s_[pos_] != '"') {
      char c = s_[pos_++];
      if (c == '\\' && pos_ < s_.size()) {
        char e = s_[pos_++];
        out += e == 'n' ? '\n' : e;
      } else {
        out += c;
      }
    }
    Expect('"');
    return out;
  }

  std::string s_;
  size_t pos_ = 0;
};

std::vector<TBrailleExample> Load() {
  std::ifstream in(std::string(VELTO_EXAMPLES_DIR) + "/cases.json", std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::vector<TBrailleExample> cases;
  if (!in) {
    return cases;
  }
  TJson root = TJsonParser(buffer.str()).Parse();
  for (const TJson& c : root.Items) {
    TBrailleExample e;
    e.Name = c["name"].Text;
    e.Key = static_cast<int>(c["key"].Number);
    e.Time = c["time"].Text;
    for (const TJson& line : c["music_lines"].Items) {
      e.MusicLines.push_back(line.Text);
    }
    for (const TJson& measure : c["expected"].Items) {
      std::vector<TExpectedNote> notes;
      for (const TJson& n : measure.Items) {
        TExpectedNote note;
        if (n.Items[0].Type == TJson::Kind::Number) {
          note.Key = static_cast<int>(n.Items[0].Number);
        }
        note.Duration = n.Items[1].Text;
        notes.push_back(note);
      }
      e.Expected.push_back(notes);
    }
    for (const TJson& t : c["ties"].Items) {
      e.Ties.emplace_back(static_cast<int>(t.Items[0].Number), static_cast<int>(t.Items[1].Number));
    }
    cases.push_back(e);
  }
  return cases;
}

}  // namespace

const std::vector<TBrailleExample>& BrailleExamples() {
  static const std::vector<TBrailleExample> cases = Load();
  return cases;
}
