// The manual page (packaging/ferryman-cli.1.in) says what `ferryman-cli --help` says: the
// same synopsis lines and an entry for every option.

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/cli_runner.h"
#include "tests/testkit/disk_files.h"

namespace ferry {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A roff line as the reader sees it: font changes dropped, "\-" a hyphen.
std::string plain(const std::string& roff) {
    std::string text = std::regex_replace(roff, std::regex(R"(\\f[BIRP])"), "");
    return std::regex_replace(text, std::regex(R"(\\-)"), "-");
}

// The lines of the section headed `.SH name`, up to the next heading.
std::vector<std::string> section(const std::vector<std::string>& page, const std::string& name) {
    std::vector<std::string> lines;
    bool inside = false;
    for (const std::string& line : page) {
        if (line.starts_with(".SH ")) {
            inside = line == ".SH " + name;
        } else if (inside) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::set<std::string> longOptionsIn(const std::string& text) {
    std::set<std::string> options;
    const std::regex option(R"(--[a-z][a-z-]*)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it) {
        options.insert(it->str());
    }
    return options;
}

TEST(ManualPage, SaysWhatHelpSays) {
    const testkit::Machine machine;
    const testkit::CliRun help = testkit::runCli(machine, {"--help"});
    ASSERT_EQ(help.status, 0);
    const std::vector<std::string> page = linesOf(testkit::readDiskFile(FERRY_MANUAL_PAGE));

    std::vector<std::string> helpSynopsis;
    for (const std::string& line : linesOf(help.out)) {
        if (line.starts_with("  ferryman-cli ")) helpSynopsis.push_back(line.substr(2));
    }
    std::vector<std::string> pageSynopsis;
    for (const std::string& line : section(page, "SYNOPSIS")) {
        if (line != ".nf" && line != ".fi") pageSynopsis.push_back(plain(line));
    }
    EXPECT_EQ(pageSynopsis, helpSynopsis);

    // Each option's entry: the line after a .TP in OPTIONS.
    std::string entries;
    const std::vector<std::string> options = section(page, "OPTIONS");
    for (std::size_t i = 0; i + 1 < options.size(); ++i) {
        if (options[i] == ".TP") entries += plain(options[i + 1]) + "\n";
    }
    EXPECT_EQ(longOptionsIn(entries), longOptionsIn(help.out)) << entries;
}

}  // namespace
}  // namespace ferry
