// The project reader on the bytes as the text of a .tilora file. It may refuse them only with the platform's
// exceptions (EProjectError naming the field); a project it accepts must write back to a text that reads as
// the same project, and a small one must replay without a fault, its problems naming cells of the sheet.
#include <nlohmann/json.hpp>

#include "AlphaPlane.h"
#include "FuzzSupport.h"
#include "OrvCui.h"
#include "OrvEncoding.h"
#include "OrvProject.h"

namespace {

// Sheets up to this many pixels are replayed; a stamp from a missing material lists every cell it covers.
constexpr int64_t MaxReplayPixels = int64_t{1} << 16;

// Whether a picture in the text (any string that is Base64 of a PNG) announces a size too slow to decode.
bool PicturesTooSlow(const std::string& Text) {
  const nlohmann::json document = nlohmann::json::parse(Text, nullptr, false);
  std::vector<const nlohmann::json*> open = {&document};
  while (!open.empty()) {
    const nlohmann::json& value = *open.back();
    open.pop_back();
    if (value.is_string()) {
      const auto bytes = Base64Decode(value.get<std::string>());
      if (bytes && fuzz::PngTooSlow(*bytes)) return true;
    }
    if (value.is_structured())
      for (const auto& member : value) open.push_back(&member);
  }
  return false;
}

// Whether the sheet, and every sheet a New of the recipe makes, is small enough to replay.
bool SmallEnough(const TProject& Project) {
  if (int64_t{Project.SheetWidth} * Project.SheetHeight > MaxReplayPixels) return false;
  for (const TEditOperation& operation : Project.Operations)
    if (const auto* created = std::get_if<TNewImageOperation>(&operation))
      if (int64_t{created->Columns} * created->ChipWidth * created->Rows * created->ChipHeight >
          MaxReplayPixels)
        return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const fuzz::ScratchFolder folder;
  const std::string text(reinterpret_cast<const char*>(Data), Size);
  if (PicturesTooSlow(text)) return 0;
  const std::string file = folder.Path("fuzz.tilora");
  TProject project;
  if (!fuzz::Accepted([&] { project = ParseProject(text, file); })) return 0;

  std::string written;
  if (!fuzz::Accepted([&] { written = ProjectText(project, file); }))
    fuzz::Finding("an accepted project cannot be written");
  TProject again;
  if (!fuzz::Accepted([&] { again = ParseProject(written, file); }))
    fuzz::Finding("a written project is refused");
  std::string rewritten;
  if (!fuzz::Accepted([&] { rewritten = ProjectText(again, file); }))
    fuzz::Finding("a written project cannot be written again");
  fuzz::Check(rewritten == written, "the project changed through its text");

  if (!SmallEnough(project)) return 0;
  TOrvDatas sheet;
  std::vector<TReplayProblem> problems;
  // The sheet's own limits (a New beyond pixel memory) may refuse a recipe; nothing else may.
  if (!fuzz::Accepted([&] { problems = ReplayProject(project, sheet); })) return 0;
  const TBitmap& image = *sheet.EditImage;
  fuzz::Check(sheet.EditAlpha.Empty() || IsAlphaPlaneOf(sheet.EditAlpha, image),
              "the replayed sheet's alpha plane does not fit it");
  // Cells are counted in the chip grid of their time; the final grid tells only when it never changed.
  const bool oneGrid = std::none_of(project.Operations.begin(), project.Operations.end(), [](const auto& op) {
    return std::holds_alternative<TChipSizeOperation>(op) || std::holds_alternative<TNewImageOperation>(op);
  });
  for (const TReplayProblem& problem : oneGrid ? problems : std::vector<TReplayProblem>())
    for (const TChipCell& cell : problem.Cells)
      fuzz::Check(cell.Column >= 0 && cell.Row >= 0 &&
                      int64_t{cell.Column} * sheet.ChipWidth < image.Width() &&
                      int64_t{cell.Row} * sheet.ChipHeight < image.Height(),
                  "a problem names a cell outside the sheet");
  return 0;
}
