// Sheets as projects: a .tilora file keeps where every chip of a sheet came from (the editor's recipe: its
// operations and the picture they start from), the materials with a digest of each, and the save and export
// settings, so that the sheet can be rebuilt from its materials when one changes, in the window or by
// tilora-tool build.
//
// The file is JSON (an example is in the README); paths in it are relative to the project file. Reading
// checks every field and refuses bad input with EProjectError naming the field; a project of a newer version
// is refused; fields this version does not know are written back when the project is saved again.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "OrvEdit.h"
#include "OrvExport.h"
#include "OrvSave.h"

class TOrvDatas;

TILORA_EXCEPTION(EProjectError, Exception);

// The version this Tilora writes, and the newest it reads.
inline constexpr int32_t ProjectVersion = 1;
inline constexpr const char* ProjectExtension = ".tilora";

// A material that stamps read from: one entry per file and read option.
struct TProjectMaterial {
  std::string Path;  // full path
  bool IndexZeroTransparent = false;
  // The SHA-256 digest of the file's bytes and the picture's size when the project was saved; empty and 0
  // when the file could not be read then.
  std::string Sha256;
  int32_t Width = 0, Height = 0;
  bool operator==(const TProjectMaterial&) const = default;
};

// The export a build writes beside the sheet. The chip size is the project's.
struct TProjectExport {
  TExportOptions Options;
  std::string Profile = "standard";
  TExportFiles Files;  // full paths; Image is required
};

struct TProject {
  int32_t ChipWidth = 32, ChipHeight = 32;
  int32_t SheetWidth = 0, SheetHeight = 0;
  // What the sheet is filled with where no base picture says otherwise: white, or fully transparent.
  bool TransparentBackground = false;
  // The sheet the operations start from, when it is not all background: what no material explains (a loaded
  // edit image, and whatever was on the sheet before the recipe began). A block of the sheet's size.
  std::optional<TChipBlock> Base;
  std::vector<TProjectMaterial> Materials;
  // The recipe, in order: stamps (from a material, or with their pixels), erases, moves, copies, chip sizes
  // and New. Stamps from a material name one of Materials by path and read option.
  std::vector<TEditOperation> Operations;
  // The sheet a build writes (full path; empty: the project's name with .png), and how it is saved. A
  // project's save writes no time stamp unless it asks for one, so that builds repeat byte for byte.
  std::string SheetFile;
  TSaveOptions Save = {.TimeStamp = false};
  std::optional<TProjectExport> Export;
  // The JSON text the project was read from; its fields that this version does not know are kept.
  std::string ReadText;
};

// Reads a project file; paths are resolved against its folder. Every problem raises EProjectError
// 'Cannot read project "<FileName>": <field> <what is wrong>.'; a file that cannot be opened raises the
// stream's error.
TProject ReadProject(const std::string& FileName);
// The same for the text of a project file named FileName.
TProject ParseProject(const std::string& Text, const std::string& FileName);
// The JSON text of Project saved as FileName (paths relative to its folder), with the unknown fields of
// Project.ReadText. Byte-identical for equal projects.
std::string ProjectText(const TProject& Project, const std::string& FileName);
// Writes ProjectText atomically (SaveFileAtomically); returns the text written.
std::string WriteProject(const TProject& Project, const std::string& FileName);

// The sheet a build writes when the project names none: the project file's name with .png.
std::string ProjectSheetFile(const TProject& Project, const std::string& ProjectFile);

// The material entries that Operations stamp from, in order of first use, each described from its file as it
// is now (digest and size); a file that cannot be read keeps the description Previous gave it.
std::vector<TProjectMaterial> DescribeMaterials(std::span<const TEditOperation> Operations,
                                                std::span<const TProjectMaterial> Previous = {});
// The materials whose files differ from their digests (changed, or no longer readable).
std::vector<TProjectMaterial> ChangedMaterials(const TProject& Project);

// The project of a sheet's recipe (TSheetEditor::SheetRecipe): its start as the sheet's size and background,
// or as the base picture when it is not all white or all transparent; its operations; the materials they
// stamp from described from their files. The save and export settings, the sheet file, the descriptions of
// materials that cannot be read now and the fields to keep come from Previous (the project last opened or
// saved) when given. An empty sheet raises EProjectError.
TProject MakeProject(const TSheetRecipe& Recipe, const TProject* Previous = nullptr);
// The recipe of a project: its start (the base picture, or a sheet of the background, white ones in the
// display format as New makes them) and its operations.
TSheetRecipe ProjectRecipe(const TProject& Project);

// ---------------------------------------------------------------------------------------------------------------
// Replay

// A material whose stamps could not be replayed, and the cells of the sheet (in the chip grid of the time)
// that kept their last pixels because of it.
struct TReplayProblem {
  enum class TKind : uint8_t {
    Missing,  // the file is missing or cannot be read: none of its stamps is made
    Unfit,    // the picture no longer holds the source rectangle of these cells
  };
  TKind Kind = TKind::Missing;
  std::string Material;          // full path
  std::string Reason;            // Missing: why the file could not be read
  std::vector<TChipCell> Cells;  // in the order met, each once
};

// Rebuilds a sheet on a document: the recipe's start, then its operations in order, with every material read
// once by the document's own reader. Nothing is recorded for undo.
class TProjectReplay {
 public:
  // Materials: what the project knew of them, for telling the chips that no longer fit.
  explicit TProjectReplay(TOrvDatas& Sheet, std::span<const TProjectMaterial> Materials = {});
  ~TProjectReplay();
  TProjectReplay(const TProjectReplay&) = delete;
  TProjectReplay& operator=(const TProjectReplay&) = delete;

  // The sheet as the recipe starts it (sharing the start's pixels until they change), and its chip size.
  void Start(const TSheetRecipe& Recipe);
  void Apply(const TEditOperation& Operation);
  // The problems met so far, one entry per material and kind.
  const std::vector<TReplayProblem>& Problems() const { return FProblems; }

 private:
  struct TShelf;
  void ApplyStamp(const TStampOperation& Stamp);
  void Report(TReplayProblem::TKind Kind, const std::string& Material, const std::string& Reason,
              const std::vector<TChipCell>& Cells);
  std::vector<TChipCell> CellsOf(const TRect& Area) const;

  TOrvDatas& FSheet;
  std::unique_ptr<TShelf> FShelf;
  std::vector<TReplayProblem> FProblems;
};

// The recipe replayed on Sheet; returns the problems.
std::vector<TReplayProblem> ReplayRecipe(const TSheetRecipe& Recipe,
                                         std::span<const TProjectMaterial> Materials, TOrvDatas& Sheet);
std::vector<TReplayProblem> ReplayProject(const TProject& Project, TOrvDatas& Sheet);

// One line of English for a problem, the material named as the project file names it:
// 'Material "tiles/grass.png" is missing (<reason>): cells (0, 1), (2, 1) keep their last pixels.'
std::string ReplayProblemText(const TReplayProblem& Problem, const std::string& ProjectFile);
