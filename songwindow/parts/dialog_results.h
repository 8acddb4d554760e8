// What the window's modal dialogs hand back to the commands that open them (one window's
// dialog is open at a time, on the UI thread).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Track properties: set to 1 by the new-track command before the dialog opens; the dialog
// leaves 1 on OK, 0 on Cancel; 0 again after each use.
extern uint8_t TrackDialogResult;
// Track copy: the tracks chosen, numbered from the head (1); both -1 after Cancel.
extern int32_t CopyFromTrack;
extern int32_t CopyToTrack;
// Measure range: the mode set by the command (1 clear, 2 delete, 3 copy); the voices
// chosen on OK (1 the current voice, 2 all voices of the track, 3 all tracks; 0 after
// Cancel); the first and last measure (RangeFrom 0 after Cancel).
extern uint16_t RangeDialogMode;
extern uint16_t RangeVoiceChoice;
extern uint16_t RangeFrom;
extern uint16_t RangeTo;
// Go to: 1 on OK, with the measure and voice chosen.
extern uint8_t GoToConfirmed;
extern uint16_t GoToMeasure;
extern uint16_t GoToVoice;

// Block wizard: on entry the tag's block name (may be empty); on exit the new tag text
// with its ")" and ".", "*" to remove the tag, or empty to change nothing (code page 1251).
extern std::string BlockWizardName;
// The tag's parameter texts in order; edited in place.
extern std::vector<std::string> BlockWizardParams;
