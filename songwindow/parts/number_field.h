// A number field of the window's dialogs: digits only, stepped by PgUp, PgDn, Up, Down,
// Home and End on key release (each step spoken), every change put through the field's
// change rule.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class ISpeaker;
class ISignaller;

// The most a number field holds; more is refused, never wrapped.
inline constexpr uint32_t kNumberFieldMax = 65535;

class TNumberField {
 public:
  // The rule corrects Text in place (it may also change other fields).
  using TRule = std::function<void(TNumberField&)>;

  TNumberField(ISpeaker& speaker, ISignaller& signaller) : speaker_(speaker), signaller_(signaller) {}

  std::string Text;  // digits (code page 1251 = ASCII here)
  bool ReadOnly = false;
  // A correction by the rule selects the whole text, so that the next digit replaces it.
  bool SelectAll = false;
  // False: the rule waits for a step, Confirm or leaving the field, so that a number being
  // typed is not corrected under the user's fingers.
  bool RuleWhileTyping = true;
  TRule Rule;
  std::function<uint32_t()> Last;  // what End sets
  uint32_t First = 1;              // what Home sets
  // Typed digits above 65535 are taken as 65535, for the rule to bring down, not refused.
  bool SaturateTyped = false;

  // Characters that may be typed: digits and Backspace.
  static bool Accepts(char32_t ch) { return (ch >= U'0' && ch <= U'9') || ch == 8; }
  // The field's text after typing or pasting: refused, with the error signal and the text
  // kept, when it holds anything but digits or a number above 65535. True when taken.
  bool Edited(const std::string& text);
  // A key released (virtual-key code): the six step keys change the number through the
  // rule and speak it. True for a step key.
  bool KeyUp(uint16_t key);
  // The number (0 for an empty text; digits only, so it never exceeds 65535).
  uint32_t Value() const;
  // Text := number (clamped to 0..65535), then the rule.
  void Set(int64_t number);
  // Puts the text through the rule now (on OK and on leaving the field).
  void Confirm();

 private:
  void ApplyRule();

  ISpeaker& speaker_;
  ISignaller& signaller_;
};
