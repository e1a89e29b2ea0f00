#pragma once

// Runs the built ferryman-cli as a user would, as one machine: its own settings store and
// home folder, standard input not a terminal.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/testkit/temp_dir.h"

namespace ferry::testkit {

// A machine of its own: XDG_CONFIG_HOME and HOME in a fresh folder, and its time zone
// (TZ; the test's own when empty).
class Machine {
  public:
    explicit Machine(std::string timeZone = "") : timeZone_(std::move(timeZone)) {}
    const std::string& folder() const { return dir_.path(); }
    const std::string& timeZone() const { return timeZone_; }
    std::string configHome() const { return dir_ / "config"; }
    std::string home() const { return dir_ / "home"; }
    // Where its settings store is.
    std::string storePath() const { return configHome() + "/ferryman/registry.sqlite3"; }

  private:
    TempDir dir_;
    std::string timeZone_;
};

struct CliRun {
    int status = -1;  // the exit status; 128 + signal number when a signal ended it
    std::string out;
    std::string err;
};

// ferryman-cli with `arguments`, in `workingFolder` ("" for the test's own), on
// `machine`; its standard input reads nothing.
CliRun runCli(const Machine& machine, const std::vector<std::string>& arguments,
              const std::string& workingFolder = "");

// What the user types, given all the terminal has shown so far; "" for nothing yet.
using Typist = std::function<std::string(const std::string& shown)>;

// ferryman-cli on a terminal of its own (a pseudo-terminal), in the machine's home
// folder: `out` is all the terminal showed, standard output and error together, with the
// terminal's "\r\n" line ends; `typist` is asked after each piece of output.
CliRun runCliOnTerminal(const Machine& machine, const std::vector<std::string>& arguments,
                        const Typist& typist);

}  // namespace ferry::testkit
