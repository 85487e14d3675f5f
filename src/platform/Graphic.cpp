// The abstract graphic: change and progress notification, file loading and saving, clipboard defaults.
#include "Graphics.h"

void TGraphic::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& FileName) {
  TFileStream stream(FileName, fmCreate);
  SaveToStream(stream);
}

void TGraphic::LoadFromClipboardFormat(uint16_t, HGLOBAL, HPALETTE) {
  throw EInvalidGraphic("Unsupported clipboard format");
}

void TGraphic::SaveToClipboardFormat(uint16_t& Format, HGLOBAL& Data, HPALETTE& Palette) {
  Format = 0;
  Data = nullptr;
  Palette = nullptr;
}

void TGraphic::Changed() {
  Modified = true;
  if (OnChange) OnChange(this);
}

void TGraphic::Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                        const TRect& R, const std::string& Msg) {
  if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

void TGraphic::DoSetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Changed();
}
