// The subcommands of tilora-tool. Each runs the editor's own file code and raises the editor's exceptions
// when something fails.
#pragma once

#include <ostream>
#include <string>

#include "OrvSave.h"

// Loads In as the editor loads an edit image, then saves it to Out as the editor saves one with Options; the
// save's warnings go to Warnings, one a line.
void ConvertCommand(const std::string& In, const std::string& Out, const TSaveOptions& Options,
                    std::ostream& Warnings);
// Reads In by its extension as the editor does and writes its pixels to Out as a PAM file: P7, 8 bits per
// sample, rows top to bottom, palette indices expanded to colours; TUPLTYPE RGB_ALPHA when the file carries
// alpha (an alpha channel, tRNS, a BMP alpha mask), else RGB.
void DecodeCommand(const std::string& In, const std::string& Out);
// One JSON object on one line: the image's size, bits per pixel and palette size, whether it loads with
// transparency and the palette's transparent entries, and for PNG files the decoder's results.
void InfoCommand(const std::string& In, std::ostream& Out);
// The distinct-colour count that saving the file's image as an edit image would use.
void ColorsCommand(const std::string& In, std::ostream& Out);
