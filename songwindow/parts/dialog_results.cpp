#include "songwindow/parts/dialog_results.h"

uint8_t TrackDialogResult = 0;
int32_t CopyFromTrack = -1;
int32_t CopyToTrack = -1;
uint16_t RangeDialogMode = 0;
uint16_t RangeVoiceChoice = 0;
uint16_t RangeFrom = 0;
uint16_t RangeTo = 0;
uint8_t GoToConfirmed = 0;
uint16_t GoToMeasure = 0;
uint16_t GoToVoice = 0;

std::string BlockWizardName;
std::vector<std::string> BlockWizardParams;
