// tilora-tool build.
#include "ToolProject.h"

#include <filesystem>

#include "OrvCui.h"
#include "OrvProject.h"
#include "ToolArguments.h"

namespace {

namespace fs = std::filesystem;

// Where a file the project names is written: into Folder under its own name, or where it is.
std::string Output(const std::string& File, const std::string& Folder) {
  if (File.empty() || Folder.empty()) return File;
  return (fs::path(Folder) / fs::path(File).filename()).string();
}

}  // namespace

int BuildCommand(const std::vector<std::string>& Args, std::ostream& Errors) {
  const TArguments args(Args, {"--out"}, {});
  if (args.Operands.size() != 1)
    throw EToolUsage("build takes 1 project file, not " + std::to_string(args.Operands.size()));
  const std::string& projectFile = args.Operands[0];
  const std::string folder = args.Value("--out");
  if (args.Has("--out") && folder.empty()) throw EToolUsage("--out needs a folder");

  const TProject project = ReadProject(projectFile);
  TOrvDatas sheet;
  const std::vector<TReplayProblem> problems = ReplayProject(project, sheet);
  bool missing = false;
  for (const TReplayProblem& problem : problems) {
    missing = missing || problem.Kind == TReplayProblem::TKind::Missing;
    Errors << (problem.Kind == TReplayProblem::TKind::Missing ? "" : "warning: ")
           << ReplayProblemText(problem, projectFile) << "\n";
  }
  if (missing) {
    Errors << "Nothing was written: the sheet cannot be built without its materials.\n";
    return 1;
  }

  const std::string sheetFile = Output(ProjectSheetFile(project, projectFile), folder);
  TExportFiles files;
  if (project.Export) {
    const TExportFiles& named = project.Export->Files;
    files = {Output(named.Image, folder), Output(named.Tsx, folder), Output(named.Tsj, folder),
             Output(named.Tres, folder)};
    for (const std::string* file : {&files.Image, &files.Tsx, &files.Tsj, &files.Tres})
      if (!file->empty() &&
          fs::absolute(*file).lexically_normal() == fs::absolute(sheetFile).lexically_normal())
        throw EProjectError("Cannot build \"" + projectFile + "\": \"" + sheetFile +
                            "\" is named for the sheet and for its export.");
  }
  if (!folder.empty()) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw CreateFileError(folder, error.value());
  }

  for (const std::string& warning : sheet.SaveEditImage(sheetFile, project.Save).Warnings)
    Errors << "warning: " << warning << "\n";
  if (project.Export) {
    TExportOptions options = project.Export->Options;
    options.ChipWidth = project.ChipWidth;
    options.ChipHeight = project.ChipHeight;
    TExportProfile profile = ExportProfileNamed(project.Export->Profile);
    profile.Options.TimeStamp = project.Save.TimeStamp;
    ExportSheet(*sheet.EditImage, sheet.TransparentEditAlpha(), options, files, profile);
  }
  return 0;
}
