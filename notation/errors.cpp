#include "notation/errors.h"

TErrorRecord GErrors;
