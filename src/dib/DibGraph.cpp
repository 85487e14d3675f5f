#include "DibGraph.h"

void TDibGraphicBase::Assign(TPersistent* Source) {
  auto* clipboard = dynamic_cast<TClipboard*>(Source);
  if (clipboard == nullptr) {
    TGraphic::Assign(Source);
    return;
  }
  struct TOpenClipboard {
    TClipboard& Board;
    explicit TOpenClipboard(TClipboard& b) : Board(b) { Board.Open(); }
    ~TOpenClipboard() { Board.Close(); }
  } open(*clipboard);
  const uint16_t format = GetClipboardFormat();
  LoadFromClipboardFormat(format, clipboard->GetAsHandle(format), clipboard->Palette());
}
