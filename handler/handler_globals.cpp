#include "handler/handler_globals.h"

THandlerCompileContext GHandlerCompile;
std::mt19937_64 GHandlerRandom{std::random_device{}()};

void ResetHandlerCompileContext() { GHandlerCompile = THandlerCompileContext(); }
