#include "base/errors.h"

TErrorRecord GErrors;
