// The exception class of the PNG codec; decoder and encoder raise it with fixed English texts.
#pragma once

#include "SysUtils.h"

TILORA_EXCEPTION(EPngError, Exception);
