// Speech: every spoken text of the program goes through Speak.
#pragma once

#include <memory>
#include <string>

class TSpeechOutput;

// Speaks Text (code page 1251). Interrupt not 0 cancels what is being spoken first
// (callers pass -1); 0 queues the text. An empty queued text says nothing; an empty
// interrupting one only cancels. Never waits for speech; safe from any thread.
void Speak(const std::string& text, int interrupt);

// Silences speech.
void StopSpeech();

// Replaces the output every text goes to (tests). Null goes back to the program's own
// output, chosen on first use.
void SetSpeechOutput(std::shared_ptr<TSpeechOutput> output);
