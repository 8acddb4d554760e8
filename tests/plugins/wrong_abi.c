/* A library made for another version of the plug-in interface: the program skips it. */
#include "plugin/velto_plugin.h"

uint32_t VeltoPluginAbiVersion(void) { return VELTO_PLUGIN_ABI_VERSION + 1; }

void GetModuleInfo(const VeltoHost* host, VeltoModuleInfo* info) {
  host->module_set(info, VELTO_MODULE_MENU, "wrong", 5, 0);
}
