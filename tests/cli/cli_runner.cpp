#include "tests/cli/cli_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace ferry::testkit {

namespace {

class Pipe {
  public:
    Pipe() {
        if (pipe2(ends_.data(), O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    int read() const { return ends_[0]; }
    int write() const { return ends_[1]; }
    void closeRead() { closeEnd(0); }
    void closeWrite() { closeEnd(1); }

  private:
    void closeEnd(std::size_t end) {
        if (ends_[end] >= 0) close(ends_[end]);
        ends_[end] = -1;
    }
    std::array<int, 2> ends_{-1, -1};
};

class SpawnActions {
  public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_{};
};

// The test's environment with the machine's config and home folders and time zone.
std::vector<std::string> environmentOf(const Machine& machine) {
    const bool ownZone = !machine.timeZone().empty();
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        if (variable.starts_with("XDG_CONFIG_HOME=") || variable.starts_with("HOME=")) continue;
        if (ownZone && variable.starts_with("TZ=")) continue;
        variables.push_back(variable);
    }
    variables.push_back("XDG_CONFIG_HOME=" + machine.configHome());
    variables.push_back("HOME=" + machine.home());
    if (ownZone) variables.push_back("TZ=" + machine.timeZone());
    return variables;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Reads both pipes to their ends, as the program writes them.
void drain(Pipe& out, Pipe& err, CliRun& run) {
    std::array<pollfd, 2> watched{{{out.read(), POLLIN, 0}, {err.read(), POLLIN, 0}}};
    std::array<std::string*, 2> into{&run.out, &run.err};
    int open = 2;
    while (open > 0) {
        if (poll(watched.data(), watched.size(), -1) < 0) continue;
        for (std::size_t i = 0; i < watched.size(); ++i) {
            if (watched[i].fd < 0 || watched[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t got = ::read(watched[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                into[i]->append(buffer, static_cast<std::size_t>(got));
            } else {
                watched[i].fd = -1;
                --open;
            }
        }
    }
}

std::vector<std::string> commandWords(const std::vector<std::string>& arguments) {
    std::vector<std::string> words{FERRY_CLI_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return words;
}

int exitStatusOf(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

CliRun runCli(const Machine& machine, const std::vector<std::string>& arguments,
              const std::string& workingFolder) {
    Pipe out;
    Pipe err;
    SpawnActions actions;
    posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(actions.get(), out.write(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(actions.get(), err.write(), STDERR_FILENO);
    if (!workingFolder.empty()) {
        posix_spawn_file_actions_addchdir_np(actions.get(), workingFolder.c_str());
    }
    std::vector<std::string> words = commandWords(arguments);
    std::vector<std::string> variables = environmentOf(machine);
    const std::vector<char*> argv = pointersTo(words);
    const std::vector<char*> envp = pointersTo(variables);
    pid_t child = 0;
    if (posix_spawn(&child, FERRY_CLI_PATH, actions.get(), nullptr, argv.data(), envp.data()) !=
        0) {
        throw std::runtime_error("cannot start " + std::string(FERRY_CLI_PATH));
    }
    out.closeWrite();
    err.closeWrite();
    CliRun run;
    drain(out, err, run);
    run.status = exitStatusOf(child);
    return run;
}

CliRun runCliOnTerminal(const Machine& machine, const std::vector<std::string>& arguments,
                        const Typist& typist) {
    std::filesystem::create_directories(machine.home());
    std::vector<std::string> words = commandWords(arguments);
    std::vector<std::string> variables = environmentOf(machine);
    const std::vector<char*> argv = pointersTo(words);
    const std::vector<char*> envp = pointersTo(variables);
    const std::string home = machine.home();
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child < 0) throw std::runtime_error("no pseudo-terminal");
    if (child == 0) {
        if (chdir(home.c_str()) == 0) execve(FERRY_CLI_PATH, argv.data(), envp.data());
        _exit(127);
    }
    CliRun run;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        // The terminal reports an error once the program has gone.
        if (got <= 0) break;
        run.out.append(buffer, static_cast<std::size_t>(got));
        const std::string typed = typist(run.out);
        if (!typed.empty() && write(terminal, typed.data(), typed.size()) < 0) break;
    }
    close(terminal);
    run.status = exitStatusOf(child);
    return run;
}

}  // namespace ferry::testkit
