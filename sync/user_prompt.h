#pragma once

// The only way the engine talks to the user. The window layer supplies the real one
// (message box, question dialog, progress line); the command line supplies a terminal
// one; tests supply one with scripted answers.

#include <cstdint>
#include <string>

#include "archive/project_progress.h"

namespace ferry {

// The answers of the conflict question, in the order of its buttons (1 to 5). None: the
// question was closed without an answer (Esc, the close box, a quit request), which
// counts as No.
enum class ConflictAnswer { None, Yes, YesToAll, No, NoToAll, Cancel };

// What a synchronization does (or, in a preview, would do) with one file.
enum class FileDecision {
    ReplaceOnMedium,  // the medium gets the disk version
    ReplaceOnDisk,    // the disk gets the medium's version, the previous one kept as .old
    CreateOnDisk,     // the file exists only on the medium and is created on disk
    AddToMedium,      // a disk file without a record becomes a new record
    DropFromMedium,   // the record no longer belongs to the project
    Keep,             // both sides stay as they are
    Question          // the conflict question; `answer` tells what decided it
};

struct FileDecisionNote {
    FileDecision decision = FileDecision::Keep;
    std::string localPath;   // the file on this machine
    std::string recordName;  // the record's name in the archive ("" for AddToMedium until
                             // it is written: then projectPath + relative part)
    ConflictAnswer answer = ConflictAnswer::None;  // for Question only
};

// Besides the questions and messages it hears of the progress (ProgressReceiver).
class UserPrompt : public ProgressReceiver {
  public:
    // Shows the text with one OK button and returns when the user has closed it.
    virtual void showMessage(const std::string& text) = 0;
    // Asks the text with one button per "/"-separated answer. The number of the chosen
    // answer (1 for the first), -1 when the user closes the question without an answer,
    // 0 when the program is told to quit meanwhile.
    virtual std::int32_t askChoice(const std::string& text, const std::string& answers) = 0;
    // Each decision taken for a file, in the order taken; in a preview, instead of its
    // effect.
    virtual void noteDecision(const FileDecisionNote& note) { (void)note; }
    // A folder the user picks as the work directory of a project new to this machine,
    // listed at `projectPath`; "" when none is picked (or this prompt cannot show a
    // folder picker).
    virtual std::string chooseWorkDir(const std::string& projectPath) {
        (void)projectPath;
        return {};
    }
};

}  // namespace ferry
