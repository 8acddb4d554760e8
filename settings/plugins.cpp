#include "settings/plugins.h"

std::vector<PModulDll> MenuModules;
std::vector<PModulDll> FormatModules;
std::vector<PModulDll> WindowModules;
