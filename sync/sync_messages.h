#pragma once

// Every text the engine shows the user, built in one place for the window and the
// command line alike. Line ends are "\r\n"; a terminal shows them as line ends.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/date_time.h"
#include "platform/system_error.h"
#include "sync/synchronize_project.h"

namespace ferry {

// The buttons of the conflict question, in the order of ConflictAnswer.
inline constexpr std::string_view ConflictAnswers = "Yes/Yes to all/No/No to all/Cancel";

std::string cannotOpenFileMessage(std::string_view path);
std::string conflictQuestion(std::string_view localPath);
// What the user judges the two copies by, shown on lines after the question.
struct ConflictCopies {
    DateTime diskTime = 0;
    std::uint64_t diskSize = 0;
    DateTime mediumTime = 0;
    std::uint64_t mediumSize = 0;
};
std::string conflictQuestion(std::string_view localPath, const ConflictCopies& copies);
std::string oldArchiveNotDeletedMessage(std::string_view archivePath, std::string_view projectPath,
                                        std::string_view errorText);
// Why the medium took no new archive, as far as the system said: no room, gone, read-only,
// or not this user's to write.
std::string archiveNotWrittenMessage(std::string_view archivePath, std::string_view projectPath,
                                     ErrorKind why);
std::string archiveNotRestoredMessage(std::string_view archivePath);
std::string clockWarning(DateTime stamp, DateTime current, std::string_view projectPath);
// Refusals of a project the user adds.
std::string projectPathCommaMessage(std::string_view projectPath);
std::string projectPathUnfitMessage(std::string_view projectPath);
std::string maskListTooLongMessage(std::string_view mask);
// Another synchronization holds the lock of this user or of this medium.
// A project added, or given a new mask list, whose archive another project has.
std::string projectOnMediumMessage(std::string_view key);
std::string runInProgressMessage();
// A run was cut off while it wrote an archive over the only other copy: this machine's
// copy was put back, or could not be.
std::string archivePutBackMessage(std::string_view archivePath);
std::string archiveNotPutBackMessage(std::string_view archivePath, std::string_view errorText);
// The medium folder went away (unplugged, unmounted) while a run was going on.
std::string mediumGoneMessage(std::string_view mediumFolder);
// The temporary file of a project's first archive, left by a run cut off before its
// rename: put in place as the archive, or removed when it was not whole.
std::string cutArchiveFinishedMessage(std::string_view temporaryPath);
std::string cutArchiveRemovedMessage(std::string_view temporaryPath);

// A project on the medium that this machine has no record of: created at its path, put
// in a work directory the user picks, or skipped.
inline constexpr std::string_view NewProjectAnswers = "Yes/Choose a work directory/No";
std::string newProjectQuestion(std::string_view projectPath);
std::string newProjectWaitingMessage(std::string_view projectPath);
// Refusals and stops of one project beyond the ones above.
std::string workDirNeededMessage(std::string_view projectPath);
// A first run with a project the medium carries, in a folder holding other files.
std::string foreignFilesMessage(std::string_view projectPath, std::string_view foreignFile);
std::string noMediumMessage(std::string_view projectPath);
std::string unsafeArchiveMessage(std::string_view archivePath);
std::string cannotReadFileMessage(std::string_view path, std::string_view errorText);
std::string cannotWriteFileMessage(std::string_view path, std::string_view errorText);
std::string pathTakenMessage(std::string_view path);
// A file from the medium would be written through a link (a folder link on its way, or a
// link at the temporary name beside it).
std::string linkInWayMessage(std::string_view path, std::string_view link);
std::string listingFailedMessage(std::string_view folder, std::string_view errorText);
std::string caseTwinsMessage(std::string_view first, std::string_view second);
std::string uncarriableNameMessage(std::string_view path);
// A record whose path this system cannot create.
std::string pathTooLongMessage(std::string_view path);
std::string fileTooLargeMessage(std::string_view path);
std::string projectTooLargeMessage(std::string_view projectPath);

// The five-line report of a run that reached its end; a sixth line counts the files not
// carried, when there were any.
std::string syncReportText(std::string_view mediumFolder, const SyncCounters& counters);

// The answer named by askChoice's result (1 to 5); None for anything else.
ConflictAnswer conflictAnswerOf(std::int32_t choice);

}  // namespace ferry
