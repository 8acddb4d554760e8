// The text of one measure (or voice part) being read sign by sign.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

// The characters before the read position are consumed; Rest() is what is left.
class TMeasureText {
 public:
  TMeasureText() = default;
  explicit TMeasureText(std::string text) : text_(std::move(text)) {}

  std::string_view Rest() const { return std::string_view(text_).substr(pos_); }
  bool Empty() const { return pos_ >= text_.size(); }
  size_t Size() const { return text_.size() - pos_; }
  // The next character, or '\0' at the end.
  char Front() const { return Empty() ? '\0' : text_[pos_]; }
  // The character n places ahead, or '\0' past the end.
  char At(size_t n) const { return pos_ + n < text_.size() ? text_[pos_ + n] : '\0'; }
  bool StartsWith(std::string_view s) const { return Rest().substr(0, s.size()) == s; }

  // Consumes n characters (at most what is left), appending them to token.
  void Consume(size_t n, std::string& token) {
    n = std::min(n, Size());
    token.append(text_, pos_, n);
    pos_ += n;
  }
  // Consumes n characters without keeping them.
  void Skip(size_t n) { pos_ += std::min(n, Size()); }
  // Puts text before what is left.
  void Prepend(std::string_view s) {
    text_ = std::string(s) + std::string(Rest());
    pos_ = 0;
  }
  // Replaces what is left.
  void Assign(std::string s) {
    text_ = std::move(s);
    pos_ = 0;
  }

 private:
  std::string text_;
  size_t pos_ = 0;
};
