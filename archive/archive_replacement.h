#pragma once

// Writing a project's new archive so that the medium never loses the project: the new
// archive is written whole under a temporary name beside it, flushed, and only then
// renamed over the old one.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "archive/outcome.h"
#include "archive/project_progress.h"
#include "compress/stream.h"
#include "platform/date_time.h"

namespace ferry {

struct NewArchive {
    std::string path;           // where the archive goes
    std::string headerText;     // flag, project path, ",", mask list
    DateTime stamp = 0;         // when it is written, by this machine's clock
    Stream* payload = nullptr;  // the compressed payload, read from position 0
    // For a payload still being made: its first `readyBytes` bytes are final, and
    // `complete` makes the rest (false when it cannot). It is called once, after those
    // bytes are on their way to the medium, so that the device works while the rest is
    // made. Without it the payload is complete.
    std::uint32_t readyBytes = 0;
    std::function<bool()> complete;
};

// The archive read at the start, to write back as it was when all else failed.
struct OldArchive {
    std::string path;  // "" when there was none
    std::string headerText;
    DateTime stamp = 0;
    Stream* payload = nullptr;  // its compressed payload
    FileTime time;              // its last-write time
    // Where a copy of it is kept while the medium holds no complete archive of the
    // project (safety_copy.h); "" when this machine has no state folder.
    std::string safetyCopy;
};

// What failed on the way, in the order met, for the engine to tell the user; each comes
// with the failure, whose path names the archive concerned.
enum class ArchiveTrouble {
    OldNotDeleted,  // the old archive (under its former name, or before an overwrite)
    NotWritten,     // the new archive
    NotRestored     // an archive that was to be put back or removed after a failed write
};
using ArchiveTroubles = std::function<void(ArchiveTrouble, const Outcome&)>;

// Puts the new archive in place, deleting the old one after when it had another name.
// When the temporary copy fails for lack of room (and only then) the old archive is
// deleted first and the new one written in its place, as a medium too small for both
// still takes one: but only once a copy of the old one is kept at old.safetyCopy and
// flushed, so that a cut-off run leaves the project to be put back. If that write fails
// as well, the old archive is written back as it was, with its old time. The copy goes
// once the medium holds a complete archive again.
// Done: the new archive is in place; lastSync is its last-write time. Stopped: the user
// asked to stop; the medium is as it was. Failed: every trouble was reported to `report`
// as met; lastSync is unchanged unless the new archive is in place and only the old one
// under its former name could not be deleted. A failure as too large is reported to
// nobody: the payload could not be completed, and the medium is as it was.
Outcome replaceArchive(Platform& system, const NewArchive& archive, const OldArchive& old,
                       const ArchiveTroubles& report, ProjectProgress& progress,
                       DateTime& lastSync);

// For a preview, which writes nothing: what replaceArchive would meet on the medium, from
// its room and whether it takes writes. None when the archive would fit (where the old
// one is, when there is no room for both); else a lack of room or the system's refusal.
SystemError mediumRefusal(Platform& system, const NewArchive& archive, const OldArchive& old);

// Flushes a file just written (when `outcome`, the writing's own, is done), takes its
// last-write time and closes it; the first failure met.
Made<FileTime> closeWrittenFile(Platform& system, StreamPtr& file, const std::string& path,
                                Outcome outcome);

// The folder's entries reach the medium too; a file system that cannot flush a folder
// is no failure.
Outcome flushArchiveFolder(Platform& system, const std::string& archivePath);

// Writes the archive `old` describes at `path`, to the byte and with its time, flushed
// with its folder: to this machine and to others it is the archive it was.
Outcome writeArchiveAsItWas(Platform& system, const std::string& path, const OldArchive& old);

// The temporary name of an archive being written: it does not end in ".move", so no
// scan lists it.
std::string temporaryArchivePath(std::string_view archivePath);

// Removes the temporary file of an archive left by a run that was cut off, but only
// when the archive itself exists (otherwise the temporary file may be the only copy).
void removeStrayTemporaryArchive(Platform& system, std::string_view archivePath);

// The temporary file of a project's first archive, left without its archive by a run cut
// off before the rename: a whole, sound archive is the project's only copy on the medium
// and is put in place (Finished); anything else is removed (Removed). Kept: the archive
// exists, or the rename or removal failed. Only while no run writes the medium.
enum class CutFirstWrite { Finished, Removed, Kept };
CutFirstWrite settleCutFirstWrite(Platform& system, const std::string& temporaryPath);

}  // namespace ferry
