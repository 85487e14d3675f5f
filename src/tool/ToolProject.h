// tilora-tool build: a project's sheet and exports rebuilt from its materials, for scripts and build systems.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// build PROJECT [--out DIR]: replays the project and writes its sheet and its export as the window saves
// them, into DIR when given (each file under its own name) or where the project names them. A missing or
// unreadable material writes nothing: the problems are printed to Errors and the status is 1. Chips that no
// longer fit their material are printed as warnings; the files are still written (status 0). Raises
// EToolUsage for a usage error and the editor's exceptions when reading or writing fails.
int BuildCommand(const std::vector<std::string>& Args, std::ostream& Errors);
