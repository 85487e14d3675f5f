// The PNG decoder and encoder.
#pragma once

#include "PngReadStream.h"
#if __has_include("PngWriteStream.h")
#include "PngWriteStream.h"
#endif
