/* A library without GetModuleInfo: the program skips it. */
#include "plugin/velto_plugin.h"

uint32_t VeltoPluginAbiVersion(void) { return VELTO_PLUGIN_ABI_VERSION; }
