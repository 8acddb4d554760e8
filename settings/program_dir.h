// The program folder (ProgramDir): the installation tree every resource is found from.
#pragma once

#include <string>

// The folder of the running executable, with a trailing "/".
std::string ExecutableDir();

// The program folder to use: homeOption (from "--home DIR") when not empty, else the
// environment variable VELTO_HOME when set and not empty, else the executable's folder.
// Always with a trailing "/".
std::string ChooseProgramDir(const std::string& homeOption = {});

// Sets ProgramDir with ChooseProgramDir and creates "Resources/temp/" inside it.
// False when the temp folder cannot be made.
bool SetupProgramDir(const std::string& homeOption = {});
