// ferryman-cli: synchronizes the projects on a medium from a terminal or a script.

#include <clocale>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/command_support.h"
#include "cli/commands.h"

int main(int argc, char** argv) {
    // Dates in messages follow the user's locale.
    std::setlocale(LC_TIME, "");
    const ferry::cli::ParsedArguments parsed =
        ferry::cli::parseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        ferry::cli::printError(parsed.error + "\nTry 'ferryman-cli --help'.");
        return ferry::cli::ExitUsage;
    }
    return ferry::cli::runCommand(parsed.arguments);
}
