#include "cli/arguments.h"

#include <array>
#include <string_view>

namespace ferry::cli {

namespace {

struct CommandShape {
    std::string_view name;
    Command command;
    std::size_t operands;  // MEDIUM included
    std::string_view synopsis;
    std::string_view options;  // the options it takes, each between blanks
};

constexpr std::array<CommandShape, 5> Commands{{
    {"list", Command::List, 1, "list MEDIUM", ""},
    {"sync", Command::Sync, 1, "sync MEDIUM [--dry-run] [--answer yes|no|cancel]",
     " --dry-run --answer "},
    {"add", Command::Add, 2,
     "add MEDIUM PATH [--mask MASKS] [--subfolders] [--answer yes|no|cancel]",
     " --mask --subfolders --answer "},
    {"workdir", Command::WorkDir, 3, "workdir MEDIUM PROJECT DIR", ""},
    {"accept", Command::Accept, 2, "accept MEDIUM PROJECT", ""},
}};

std::optional<ConflictAnswer> answerNamed(std::string_view name) {
    if (name == "yes") return ConflictAnswer::Yes;
    if (name == "no") return ConflictAnswer::No;
    if (name == "cancel") return ConflictAnswer::Cancel;
    return std::nullopt;
}

bool takesValue(std::string_view option) {
    return option == "--answer" || option == "--mask";
}

bool knownOption(std::string_view option) {
    return takesValue(option) || option == "--dry-run" || option == "--subfolders";
}

class Parser {
  public:
    explicit Parser(const std::vector<std::string>& words) : words_(words) {}

    ParsedArguments parse() {
        std::vector<std::string> operands;
        std::vector<std::pair<std::string, std::string>> options;
        bool optionsEnded = false;
        for (std::size_t i = 0; i < words_.size(); ++i) {
            const std::string& word = words_[i];
            if (optionsEnded || word.size() < 2 || !word.starts_with("-")) {
                operands.push_back(word);
                continue;
            }
            if (word == "--") {
                optionsEnded = true;
                continue;
            }
            if (word == "--help" || word == "-h") return only(Command::Help);
            if (word == "--version") return only(Command::Version);
            const std::size_t equals = word.find('=');
            std::string name = word.substr(0, equals);
            if (!knownOption(name)) return failed("unknown option: " + name);
            std::string value;
            if (equals != std::string::npos) {
                if (!takesValue(name)) return failed("option " + name + " takes no value");
                value = word.substr(equals + 1);
            } else if (takesValue(name)) {
                if (++i == words_.size()) return failed("option " + name + " needs a value");
                value = words_[i];
            }
            options.emplace_back(std::move(name), std::move(value));
        }
        if (operands.empty()) return failed("no command given");
        const CommandShape* shape = shapeOf(operands.front());
        if (shape == nullptr) return failed("unknown command: " + operands.front());
        operands.erase(operands.begin());
        if (operands.size() != shape->operands) {
            return failed("usage: ferryman-cli " + std::string(shape->synopsis));
        }
        ParsedArguments parsed;
        Arguments& arguments = parsed.arguments;
        arguments.command = shape->command;
        arguments.medium = operands[0];
        if (operands.size() > 1) arguments.project = operands[1];
        if (operands.size() > 2) arguments.workDir = operands[2];
        for (const auto& [name, value] : options) {
            if (shape->options.find(" " + name + " ") == std::string_view::npos) {
                return failed(std::string(shape->name) + " takes no option " + name);
            }
            if (name == "--dry-run") {
                arguments.dryRun = true;
            } else if (name == "--subfolders") {
                arguments.includeSubfolders = true;
            } else if (name == "--mask") {
                arguments.mask = value;
            } else if (name == "--answer") {
                arguments.answer = answerNamed(value);
                if (!arguments.answer) return failed("--answer takes yes, no or cancel");
            }
        }
        return parsed;
    }

  private:
    static const CommandShape* shapeOf(std::string_view name) {
        for (const CommandShape& shape : Commands) {
            if (shape.name == name) return &shape;
        }
        return nullptr;
    }

    static ParsedArguments failed(std::string error) {
        ParsedArguments parsed;
        parsed.error = std::move(error);
        return parsed;
    }

    static ParsedArguments only(Command command) {
        ParsedArguments parsed;
        parsed.arguments.command = command;
        return parsed;
    }

    const std::vector<std::string>& words_;
};

}  // namespace

ParsedArguments parseArguments(const std::vector<std::string>& words) {
    return Parser(words).parse();
}

std::string usageText() {
    std::string text = "Usage:\n";
    for (const CommandShape& shape : Commands) {
        text += "  ferryman-cli " + std::string(shape.synopsis) + "\n";
    }
    text +=
        "  ferryman-cli --help | --version\n"
        "\n"
        "Carries projects between machines on a medium folder (MEDIUM/Ferry/*.move).\n"
        "  list     the projects on the medium: path, mask, subfolders, key, work\n"
        "           directory and last synchronization here, tab-separated\n"
        "  sync     synchronizes every project on the medium; --dry-run shows what it\n"
        "           would do and changes nothing\n"
        "  add      adds the folder PATH as a project and synchronizes it\n"
        "  workdir  sets where the project PROJECT (its key or listed path) lives here\n"
        "\n"
        "In the tab-separated lines of list and --dry-run a backslash, tab, newline,\n"
        "carriage return or other control character is escaped (\\\\ \\t \\n \\r \\xHH);\n"
        "PROJECT may be given escaped so, or as it is.\n"
        "\n"
        "--answer answers every conflict question (disk copy newer, but the medium was\n"
        "written since this machine's last run): yes takes the medium's copy and keeps\n"
        "the disk copy as .old, no keeps the disk copy, cancel stops. Without a terminal\n"
        "and without --answer a conflict stops the run undecided.\n"
        "\n"
        "Exit status: 0 done; 1 a project stopped or was refused, or another run is in\n"
        "progress; 2 usage error or no medium; 3 this machine's clock is behind the\n"
        "medium's.\n";
    return text;
}

}  // namespace ferry::cli
