#pragma once

// A project the user adds (in the window or on the command line): whether the medium can
// carry it, and its place among the listed projects.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sync/sync_run.h"

namespace ferry {

// "" when a project with this path (ending in its separator) can be carried; otherwise
// the message that refuses it: the archive header splits at the first ",", and a FAT or
// exFAT medium cannot name a file with * ? < > | " or control characters, or a name of
// more than 255 bytes.
std::string newProjectProblem(std::string_view projectPath, std::string_view mask,
                              bool includeSubfolders);
// "" when the archive header can hold the project path with this mask list; otherwise the
// message that refuses the mask list, before anything is written.
std::string maskListProblem(std::string_view projectPath, std::string_view mask,
                            bool includeSubfolders);

// Lists `project` under the key its archive will have on this medium (the key the next
// scan gives it), unless a listed project has that key already. The index of the
// project's entry either way; `project.key` is ignored.
std::size_t addListedProject(std::vector<ListedProject>& projects, std::string_view mediumFolder,
                             const ListedProject& project);

// The archive path that `project` would take with `mask` and `includeSubfolders` when
// another project has it already (listed under it, bound for it, or its archive on the
// medium), else "": a change of mask list must not make one project overwrite another's
// archive.
std::string archiveTakenByAnother(Platform& system, const std::vector<ListedProject>& projects,
                                  std::string_view mediumFolder, const ListedProject& project,
                                  std::string_view mask, bool includeSubfolders);

}  // namespace ferry
