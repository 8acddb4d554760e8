#include "handler/handler_globals.h"

THandlerCompileContext GHandlerCompile;
std::mt19937_64 GHandlerRandom{std::random_device{}()};

void ResetHandlerCompileContext() { GHandlerCompile = THandlerCompileContext(); }

bool HandlerCompileStopped() {
  return GHandlerCompile.Stop != nullptr && GHandlerCompile.Stop->load(std::memory_order_relaxed);
}
