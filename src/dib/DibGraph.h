// TDibGraphicBase: the graphic class of the DIB library, a platform graphic that also knows its clipboard
// format.
#pragma once

#include <cstdint>

#include "Clipbrd.h"
#include "Graphics.h"

class TDibGraphicBase : public TGraphic {
 public:
  const char* ClassName() const override { return "TDibGraphicBase"; }
  // From the clipboard: loads the graphic's own clipboard format (with the clipboard's palette), the
  // clipboard kept open meanwhile. Any other source goes to the platform's assignment, which asks the source
  // to assign itself.
  void Assign(TPersistent* Source) override;
  virtual uint16_t GetClipboardFormat() const = 0;
};
