#include "playback/render_globals.h"

std::atomic<uint32_t> GSongLength{0};
std::atomic<uint32_t> GRenderPosition{0};
std::atomic<bool> GRenderStop{false};
std::atomic<bool> GPrepareAgain{false};
int GTrackCount = 0;
uint16_t GPlayVoice = 0;

TRenderContext GRender;

void ResetRenderContext() { GRender = TRenderContext(); }
