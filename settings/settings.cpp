#include "settings/settings.h"

std::string ProgramDir;

bool SignalOK = true;
bool SignalError = true;
bool SignalProgress = true;
bool SignalUpCaps = true;
bool SignalQuestion = true;

bool AdvancedNavigation = true;

bool ModePlay = true;
int32_t ModeTalk = 7163;
bool AdvancedEditing = false;
bool PointMode = false;

int32_t AccordionNoteBass = 5;
int32_t AccordionOctaveBass = 2;
int32_t AccordionRangeBass = 2;
int32_t AccordionNoteChord = 6;
int32_t AccordionOctaveChord = 4;
int32_t AccordionRangeChord = 2;

bool GModeRealPlaying = false;
int32_t GStartPlayingOffset = 1920;
int32_t GProgressFrequency = 1920;
int32_t GPriorityGeneration = 0;
int32_t GPriorityPlaying = 2;
int32_t GLastMidiOut = 0;
std::array<int32_t, 17> GMidiOutDevices{};
int32_t GHandlerStatementsPerTick = kDefaultHandlerStatementsPerTick;

uint16_t VersionMajor = 1;
uint16_t VersionMinor = 0;
uint16_t VersionRelease = 0;
uint16_t VersionBuild = 0;
