#include "cli/commands.h"

#include "cli/command_support.h"
#include "cli/project_commands.h"
#include "cli/sync_commands.h"
#include "cli/terminal_prompt.h"
#include "platform/terminal.h"

namespace ferry::cli {

int runCommand(const Arguments& arguments) {
    switch (arguments.command) {
        case Command::Help: printOutput(usageText()); return ExitDone;
        case Command::Version: printOutput("ferryman-cli " FERRY_VERSION "\n"); return ExitDone;
        default: break;
    }
    // Only a run stops gently; the quick commands end at Ctrl-C as any program does.
    if (arguments.command == Command::Sync || arguments.command == Command::Add) {
        catchInterrupts();
    }
    TerminalPrompt prompt(arguments.answer, arguments.dryRun);
    switch (arguments.command) {
        case Command::List: return listProjects(arguments, prompt);
        case Command::Sync: return synchronizeMedium(arguments, prompt);
        case Command::Add: return addProject(arguments, prompt);
        case Command::WorkDir: return setWorkDir(arguments, prompt);
        case Command::Accept: return acceptProject(arguments, prompt);
        default: return ExitUsage;
    }
}

}  // namespace ferry::cli
