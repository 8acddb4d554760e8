#include "songwindow/parts/number_field.h"

#include <algorithm>
#include <optional>

#include "feedback/signals.h"
#include "songwindow/parts/key_codes.h"
#include "songwindow/parts/window_ports.h"

namespace {

// The number of a text of digits, saturated above 65535 (nothing for other text).
std::optional<uint32_t> DigitsValue(const std::string& text) {
  uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = std::min<uint32_t>(value * 10 + static_cast<uint32_t>(c - '0'), kNumberFieldMax + 1);
  }
  return value;
}

}  // namespace

bool TNumberField::Edited(const std::string& text) {
  if (ReadOnly) {
    return false;
  }
  const std::optional<uint32_t> value = DigitsValue(text);
  if (!value || (*value > kNumberFieldMax && !SaturateTyped)) {
    signaller_.PlaySignal(sError);
    return false;
  }
  Text = *value > kNumberFieldMax ? std::to_string(kNumberFieldMax) : text;
  SelectAll = false;
  if (RuleWhileTyping) {
    ApplyRule();
  }
  return true;
}

bool TNumberField::KeyUp(uint16_t key) {
  const auto value = static_cast<int64_t>(Value());
  switch (key) {
    case vkPrior:
      Set(value + 10);
      break;
    case vkNext:
      Set(value - 10);
      break;
    case vkUp:
      Set(value + 1);
      break;
    case vkDown:
      Set(value - 1);
      break;
    case vkHome:
      Set(First);
      break;
    case vkEnd:
      Set(Last ? Last() : value);
      break;
    default:
      return false;
  }
  speaker_.Speak(Text, 1);
  return true;
}

uint32_t TNumberField::Value() const {
  return std::min(DigitsValue(Text).value_or(0), kNumberFieldMax);
}

void TNumberField::Set(int64_t number) {
  Text = std::to_string(std::clamp<int64_t>(number, 0, kNumberFieldMax));
  SelectAll = false;
  ApplyRule();
}

void TNumberField::Confirm() {
  ApplyRule();
}

void TNumberField::ApplyRule() {
  if (!Rule) {
    return;
  }
  const std::string before = Text;
  Rule(*this);
  if (Text != before) {
    SelectAll = true;
  }
}
