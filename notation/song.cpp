#include "notation/song.h"

TVelto::TVelto() = default;
TVelto::~TVelto() = default;
