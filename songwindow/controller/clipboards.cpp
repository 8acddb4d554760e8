#include "songwindow/controller/clipboards.h"

std::vector<std::string> TrackClipboard;
uint8_t MeasureClipboardKind = 0;
