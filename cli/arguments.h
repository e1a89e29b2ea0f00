#pragma once

// The command line of ferryman-cli, taken apart without touching anything on disk.

#include <optional>
#include <string>
#include <vector>

#include "sync/user_prompt.h"

namespace ferry::cli {

enum class Command { Help, Version, List, Sync, Add, WorkDir, Accept };

struct Arguments {
    Command command = Command::Help;
    std::string medium;
    std::string project;  // add: the folder to add; workdir, accept: a project key or listed path
    std::string workDir;  // workdir: the new work directory
    std::string mask;     // add: the mask list ("" means every file)
    bool includeSubfolders = false;
    bool dryRun = false;
    // Answers every conflict question without asking; none: ask on a terminal.
    std::optional<ConflictAnswer> answer;
};

struct ParsedArguments {
    Arguments arguments;
    std::string error;  // "" when the words make a valid command line
};

// `words` without the program name. Options may stand anywhere after the command, as
// "--name value" or "--name=value"; "--" ends them.
ParsedArguments parseArguments(const std::vector<std::string>& words);

// What --help prints.
std::string usageText();

}  // namespace ferry::cli
