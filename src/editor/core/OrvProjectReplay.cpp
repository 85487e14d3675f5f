// Replaying a project: the sheet's start, then its operations applied with the editor's block functions, the
// materials read once each, and the cells a missing or shrunken material cannot fill reported and left alone.
// Also the way between a project and the editor's recipe.
#include <algorithm>
#include <map>
#include <set>

#include "AlphaPlane.h"
#include "OrvAlpha.h"
#include "OrvCui.h"
#include "OrvProject.h"

namespace {

TRect Intersection(const TRect& A, const TRect& B) {
  const TRect r{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
                std::min(A.Bottom, B.Bottom)};
  return r.Left < r.Right && r.Top < r.Bottom ? r : TRect{};
}

bool IsEmpty(const TRect& R) {
  return R.Left >= R.Right || R.Top >= R.Bottom;
}

bool Contains(const TRect& Outer, const TRect& Inner) {
  return IsEmpty(Inner) || (Inner.Left >= Outer.Left && Inner.Top >= Outer.Top &&
                            Inner.Right <= Outer.Right && Inner.Bottom <= Outer.Bottom);
}

TRect Shifted(const TRect& R, int64_t X, int64_t Y) {
  return Rect(ClampToInt32(R.Left + X), ClampToInt32(R.Top + Y), ClampToInt32(R.Right + X),
              ClampToInt32(R.Bottom + Y));
}

// Whether every pixel of the sheet is white and, with a plane, fully transparent; Transparent tells which.
bool AllBackground(const TChipBlock& Sheet, bool& Transparent) {
  TBitmap bitmap;
  bitmap.SetImage(std::const_pointer_cast<TBitmapImage>(Sheet.Image));
  const TBitmap& image = bitmap;  // read only: the pixels stay shared
  const int bits = image.BitCount();
  for (int32_t y = 0; y < image.Height(); ++y) {
    const uint8_t* row = image.ScanLine(y);
    if (bits == 24 || bits == 32) {
      const int step = bits / 8;
      for (int32_t x = 0; x < image.Width(); ++x, row += step)
        if (row[0] != 255 || row[1] != 255 || row[2] != 255) return false;
    } else {
      for (int32_t x = 0; x < image.Width(); ++x)
        if ((image.GetPixel(x, y) & 0xFFFFFF) != clWhite) return false;
    }
  }
  Transparent = Sheet.Alpha != nullptr;
  if (!Sheet.Alpha) return true;
  const TBitmapImage& alpha = *Sheet.Alpha;
  for (int32_t y = 0; y < alpha.Height; ++y) {
    const uint8_t* row = alpha.Bits.data() + static_cast<int64_t>(y) * alpha.RowBytes;
    if (std::any_of(row, row + alpha.Width, [](uint8_t Cover) { return Cover != 255; })) return false;
  }
  return true;
}

}  // namespace

// Each material read once, by path and read option, with the size the project knew it at; and the problems
// met, each with the cells it already lists.
struct TProjectReplay::TShelf {
  struct TEntry {
    bool Read = false;
    std::string Reason;  // empty: the file does not exist
    TBitmap Image, Alpha;
  };
  std::map<std::pair<std::string, bool>, TEntry> Entries;
  std::vector<TProjectMaterial> Known;
  std::map<std::pair<TReplayProblem::TKind, std::string>, size_t> ProblemIndex;
  std::vector<std::set<std::pair<int32_t, int32_t>>> ProblemCells;

  // The material of Origin, held in the pixel format Format of the sheet where that changes no colour (from
  // an indexed or true-colour picture to true colour), so that its chips are put by plain copies.
  TEntry& Get(const TStampOrigin& Origin, TPixelFormat Format) {
    const auto [found, fresh] = Entries.try_emplace({Origin.MaterialPath, Origin.IndexZeroTransparent});
    TEntry& entry = found->second;
    if (fresh && FileExists(Origin.MaterialPath)) {
      try {
        TOrvDatas reader;
        reader.LoadMaterial(Origin.MaterialPath, TMaterialReadOptions{Origin.IndexZeroTransparent});
        entry.Image.Assign(reader.Material.get());
        entry.Alpha.Assign(&reader.MaterialAlpha);
        entry.Read = true;
      } catch (const Exception& error) {
        entry.Reason = error.what();
      }
    }
    const int from = entry.Image.BitCount(), to = PixelFormatBitCount(Format);
    if (entry.Read && from != to && (from <= 8 || from >= 24) && to >= 24) entry.Image.SetPixelFormat(Format);
    return entry;
  }

  // The size the project recorded for the material; 0 x 0 when it did not know it.
  TPoint KnownSize(const TStampOrigin& Origin) const {
    for (const TProjectMaterial& m : Known)
      if (m.Path == Origin.MaterialPath && m.IndexZeroTransparent == Origin.IndexZeroTransparent)
        return {m.Width, m.Height};
    return {};
  }
};

TProjectReplay::TProjectReplay(TOrvDatas& Sheet, std::span<const TProjectMaterial> Materials)
    : FSheet(Sheet), FShelf(std::make_unique<TShelf>()) {
  FShelf->Known.assign(Materials.begin(), Materials.end());
}

TProjectReplay::~TProjectReplay() = default;

void TProjectReplay::Start(const TSheetRecipe& Recipe) {
  FSheet.SetChipSize(Recipe.ChipWidth, Recipe.ChipHeight);
  if (!FSheet.EditImage) FSheet.EditImage = std::make_unique<TBitmap>();
  // Shared with the recipe until the first change: the bitmap copies on write.
  FSheet.EditImage->SetImage(std::const_pointer_cast<TBitmapImage>(Recipe.Start.Image));
  if (Recipe.Start.Alpha)
    FSheet.EditAlpha.SetImage(std::const_pointer_cast<TBitmapImage>(Recipe.Start.Alpha));
  else
    FSheet.EditAlpha.Assign(nullptr);
}

void TProjectReplay::Apply(const TEditOperation& Operation) {
  TBitmap& image = *FSheet.EditImage;
  TBitmap& alpha = FSheet.EditAlpha;
  std::visit(
      [&](const auto& op) {
        using T = std::decay_t<decltype(op)>;
        if constexpr (std::is_same_v<T, TStampOperation>) {
          ApplyStamp(op);
        } else if constexpr (std::is_same_v<T, TEraseOperation>) {
          ClearArea(image, alpha, op.Area);
        } else if constexpr (std::is_same_v<T, TMoveOperation>) {
          MoveBlock(image, alpha, CutBlock(image, alpha, op.Area), op.Area, op.Target, op.Copy);
        } else if constexpr (std::is_same_v<T, TNewImageOperation>) {
          FSheet.SetChipSize(op.ChipWidth, op.ChipHeight);
          FSheet.NewEditImage(op.Columns, op.Rows, op.Transparent);
        } else if constexpr (std::is_same_v<T, TChipSizeOperation>) {
          FSheet.SetChipSize(op.ChipWidth, op.ChipHeight);
        } else {
          // A recipe starts from the picture a load gave; the file may hold something else by now.
          throw EProjectError("A loaded edit image cannot be replayed: \"" + op.FileName +
                              "\" is no material.");
        }
      },
      Operation);
}

void TProjectReplay::ApplyStamp(const TStampOperation& Stamp) {
  TBitmap& image = *FSheet.EditImage;
  TBitmap& alpha = FSheet.EditAlpha;
  const TStampOrigin& origin = Stamp.Origin;
  if (origin.From != TStampOrigin::TFrom::Material) {
    if (Stamp.Pixels) PutBlock(image, alpha, *Stamp.Pixels, Stamp.Target.X, Stamp.Target.Y);
    return;
  }
  const TRect& area = origin.Area;
  // Where a part of the selection lands on the sheet.
  auto placed = [&](const TRect& Part) {
    return Shifted(TransformedArea(Shifted(Part, -int64_t{area.Left}, -int64_t{area.Top}), area.Width(),
                                   area.Height(), origin.Transform),
                   Stamp.Target.X, Stamp.Target.Y);
  };
  const TRect target = placed(area);
  TShelf::TEntry& material = FShelf->Get(origin, image.PixelFormat());
  if (!material.Read) {
    Report(TReplayProblem::TKind::Missing, origin.MaterialPath, material.Reason, CellsOf(target));
    return;
  }
  // Unturned selections go straight from the material to the sheet; turned ones by way of a block.
  const bool turned = origin.Transform != TChipTransform::Identity;
  const TChipBlock block =
      turned ? TransformBlock(CutBlock(material.Image, material.Alpha, area), origin.Transform)
             : TChipBlock{};
  auto put = [&] {
    if (turned)
      PutBlock(image, alpha, block, Stamp.Target.X, Stamp.Target.Y);
    else
      PutArea(image, alpha, material.Image, material.Alpha, area, Stamp.Target.X, Stamp.Target.Y);
  };

  // The part of the selection that lay in the picture when the project was saved must lie in it still; the
  // cells of the target that need more than the picture now holds keep their pixels.
  const TPoint known = FShelf->KnownSize(origin);
  const TRect was = known.X > 0 ? Intersection(area, Rect(0, 0, known.X, known.Y)) : area;
  const TRect now = Intersection(area, Rect(0, 0, material.Image.Width(), material.Image.Height()));
  if (Contains(now, was)) {
    put();
    return;
  }
  const TRect needed = placed(was), held = placed(now);
  std::vector<TChipCell> unfit;
  std::vector<std::pair<TRect, TChipBlock>> kept;
  for (const TChipCell& cell : CellsOf(target)) {
    const TRect box = Rect(cell.Column * FSheet.ChipWidth, cell.Row * FSheet.ChipHeight,
                           ClampToInt32((int64_t{cell.Column} + 1) * FSheet.ChipWidth),
                           ClampToInt32((int64_t{cell.Row} + 1) * FSheet.ChipHeight));
    if (Contains(held, Intersection(Intersection(box, target), needed))) continue;
    unfit.push_back(cell);
    kept.emplace_back(box, CutBlock(image, alpha, box));
  }
  put();
  for (const auto& [box, pixels] : kept) PutBlock(image, alpha, pixels, box.Left, box.Top);
  Report(TReplayProblem::TKind::Unfit, origin.MaterialPath, {}, unfit);
}

std::vector<TChipCell> TProjectReplay::CellsOf(const TRect& Area) const {
  const TRect inside = Intersection(Area, Rect(0, 0, FSheet.EditImage->Width(), FSheet.EditImage->Height()));
  std::vector<TChipCell> cells;
  if (IsEmpty(inside)) return cells;
  const int32_t w = FSheet.ChipWidth, h = FSheet.ChipHeight;
  for (int32_t row = inside.Top / h; row <= (inside.Bottom - 1) / h; ++row)
    for (int32_t column = inside.Left / w; column <= (inside.Right - 1) / w; ++column)
      cells.push_back({column, row});
  return cells;
}

void TProjectReplay::Report(TReplayProblem::TKind Kind, const std::string& Material,
                            const std::string& Reason, const std::vector<TChipCell>& Cells) {
  const auto [found, fresh] = FShelf->ProblemIndex.try_emplace({Kind, Material}, FProblems.size());
  if (fresh) {
    FProblems.push_back({Kind, Material, Reason, {}});
    FShelf->ProblemCells.emplace_back();
  }
  TReplayProblem& problem = FProblems[found->second];
  auto& listed = FShelf->ProblemCells[found->second];
  for (const TChipCell& cell : Cells)
    if (listed.insert({cell.Row, cell.Column}).second) problem.Cells.push_back(cell);
}

std::vector<TReplayProblem> ReplayRecipe(const TSheetRecipe& Recipe,
                                         std::span<const TProjectMaterial> Materials, TOrvDatas& Sheet) {
  TProjectReplay replay(Sheet, Materials);
  replay.Start(Recipe);
  for (const TEditOperation& operation : Recipe.Operations) replay.Apply(operation);
  return replay.Problems();
}

std::vector<TReplayProblem> ReplayProject(const TProject& Project, TOrvDatas& Sheet) {
  return ReplayRecipe(ProjectRecipe(Project), Project.Materials, Sheet);
}

std::string ReplayProblemText(const TReplayProblem& Problem, const std::string& ProjectFile) {
  std::string text = "Material \"" + RelativeFileName(Problem.Material, ProjectFile) + "\" ";
  if (Problem.Kind == TReplayProblem::TKind::Unfit)
    text += "no longer holds the chips of";
  else
    text += Problem.Reason.empty() ? "is missing" : "cannot be read (" + Problem.Reason + ")";
  std::string cells;
  for (const TChipCell& cell : Problem.Cells)
    cells += (cells.empty() ? "" : ", ") + std::string("(") + std::to_string(cell.Column) + ", " +
             std::to_string(cell.Row) + ")";
  if (Problem.Kind == TReplayProblem::TKind::Unfit)
    return text + " cells " + cells + ": they keep their last pixels.";
  if (cells.empty()) return text + ".";
  return text + ": " + (Problem.Cells.size() == 1 ? "cell " : "cells ") + cells +
         (Problem.Cells.size() == 1 ? " keeps its" : " keep their") + " last pixels.";
}

// ---------------------------------------------------------------------------------------------------------------
// Projects and the editor's recipe

TSheetRecipe ProjectRecipe(const TProject& Project) {
  TSheetRecipe recipe;
  recipe.ChipWidth = Project.ChipWidth;
  recipe.ChipHeight = Project.ChipHeight;
  recipe.Operations = Project.Operations;
  if (Project.Base) {
    recipe.Start = *Project.Base;
    return recipe;
  }
  recipe.Start.Width = Project.SheetWidth;
  recipe.Start.Height = Project.SheetHeight;
  recipe.Start.Image = NewBitmapImage(Project.SheetWidth, Project.SheetHeight, pfDevice, nullptr, true);
  if (Project.TransparentBackground) {
    auto alpha = NewAlphaPlaneImage(Project.SheetWidth, Project.SheetHeight);
    std::fill(alpha->Bits.begin(), alpha->Bits.end(), uint8_t{255});
    recipe.Start.Alpha = std::move(alpha);
  }
  return recipe;
}

TProject MakeProject(const TSheetRecipe& Recipe, const TProject* Previous) {
  if (Recipe.Start.Empty()) throw EProjectError("Cannot save the project: the sheet is empty.");
  TProject project;
  if (Previous) {
    project.SheetFile = Previous->SheetFile;
    project.Save = Previous->Save;
    project.Export = Previous->Export;
    project.ReadText = Previous->ReadText;
  }
  project.ChipWidth = Recipe.ChipWidth;
  project.ChipHeight = Recipe.ChipHeight;
  project.SheetWidth = Recipe.Start.Width;
  project.SheetHeight = Recipe.Start.Height;
  bool transparent = false;
  if (AllBackground(Recipe.Start, transparent))
    project.TransparentBackground = transparent;
  else
    project.Base = Recipe.Start;
  project.Operations = Recipe.Operations;
  project.Materials =
      DescribeMaterials(project.Operations, Previous ? std::span<const TProjectMaterial>(Previous->Materials)
                                                     : std::span<const TProjectMaterial>());
  return project;
}
