// The settings-file reader (TStringList::LoadFromStream) on the bytes. Its lines hold no line breaks and no
// NUL, and the list written as text reads back as the same list.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMemoryStream stream;
  fuzz::Fill(stream, fuzz::Bytes(Data, Size));
  TStringList list;
  if (!fuzz::Accepted([&] { list.LoadFromStream(stream); }))
    fuzz::Finding("the settings reader refused bytes");
  for (const std::string& line : list.Items())
    fuzz::Check(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos,
                "a line holds a break or NUL");

  TMemoryStream written;
  list.SaveToStream(written);
  written.SetPosition(0);
  TStringList again;
  again.LoadFromStream(written);
  fuzz::Check(again.Items() == list.Items(), "the list changed through its text form");
  return 0;
}
