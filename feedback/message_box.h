// Modal message boxes: questions, information and errors, captions by language text.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

// Buttons a box answers with.
enum TMessageButton : int { mbNone = 0, mbOk = 1, mbCancel = 2, mbYes = 6, mbNo = 7 };

// One box as the shown side gets it. Text and Caption are code page 1251.
struct TMessageBoxRequest {
  std::string Text;
  std::string Caption;
  uint8_t Kind = 0;    // 0 OK/Cancel question, 1 information, 2 Yes/No/Cancel question, 3 error
  uint32_t Flags = 0;  // buttons and icon: 33, 64, 35 or 16
  // A choice box (LangChoiceBox): one button per choice, answered with the choice's index
  // (from 0) or -1 when the box is closed without a choice.
  std::vector<std::string> Choices;
  int DefaultChoice = 0;
};

// Shows a box modally and answers with the button pressed.
class IMessageBoxes {
 public:
  virtual ~IMessageBoxes() = default;
  virtual int Show(const TMessageBoxRequest& request) = 0;
};

// Answers boxes from a script of buttons; once the script runs out every box takes its
// first button (OK, or Yes for kind 2), a choice box its default choice. Keeps every box it was shown; can echo them in
// UTF-8 to a stream (the command line's stderr). Safe to use from several threads.
class TScriptedMessageBoxes : public IMessageBoxes {
 public:
  explicit TScriptedMessageBoxes(std::vector<int> answers = {}, std::ostream* echo = nullptr);
  int Show(const TMessageBoxRequest& request) override;
  // Adds an answer at the end of the script.
  void Answer(int button);
  std::vector<TMessageBoxRequest> Shown() const;

 private:
  mutable std::mutex mutex_;
  std::deque<int> answers_;
  std::vector<TMessageBoxRequest> shown_;
  std::ostream* echo_;  // borrowed, may be null
};

// Installs the implementation every LangMessageBox goes to. Until one is installed the
// boxes are echoed to stderr and take their first button.
void SetMessageBoxes(std::shared_ptr<IMessageBoxes> boxes);

// Shows Text (code page 1251) in a box of Kind 0..3 with the kind's caption (language
// text 432, 433 or 434, else the built-in one) and returns the button pressed. Any
// other kind shows nothing and returns mbNone.
int LangMessageBox(const std::string& text, uint8_t kind);

// Shows Text (code page 1251) under its own caption with an OK button: an error box, or a
// warning box when `warning` (the MIDI file reader's messages). Returns the button pressed.
int CaptionedMessageBox(const std::string& text, const std::string& caption, bool warning);

// Asks Text (code page 1251) with one button per choice (code page 1251), in the question
// box's caption, `defaultChoice` the button Enter presses. The index of the choice, or -1
// when the box is closed (Esc).
int LangChoiceBox(const std::string& text, const std::vector<std::string>& choices,
                  int defaultChoice);
