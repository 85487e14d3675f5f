// The PNG decoder and encoder.
#pragma once

#include "PngReadStream.h"
#include "PngWriteStream.h"
