#include "sync/synchronize_project.h"

#include <cerrno>
#include <optional>
#include <utility>
#include <vector>

#include "compress/file_stream.h"
#include "platform/files.h"
#include "support/paths.h"
#include "platform/system_error.h"
#include "archive/archive_check.h"
#include "archive/archive_loading.h"
#include "archive/archive_replacement.h"
#include "sync/disk_file_writer.h"
#include "sync/local_files.h"
#include "archive/media_archive.h"
#include "archive/new_payload.h"
#include "archive/old_payload_reader.h"
#include "archive/record_names.h"
#include "sync/record_times.h"
#include "archive/record_transfer.h"
#include "sync/sync_messages.h"

namespace ferry {
namespace {

// The record sequence is read and written with 32-bit positions.
constexpr std::uint64_t LargestPayload = StreamFailure - 1;

std::string errorText(int error) {
    return systemErrorText(static_cast<std::uint32_t>(error));
}

enum class DiskTarget { Replace, Create };

// Local paths are the local directory and a relative path, so the directory ends in "/".
ProjectInputs withLocalDirEnding(ProjectInputs inputs) {
    // An empty one names no folder (and must not become the root folder).
    if (!inputs.localDir.empty()) inputs.localDir = withTrailingSeparator(inputs.localDir);
    return inputs;
}

// How a step of the synchronization ended: go on, or end the project so.
using Step = std::optional<ProjectEnd>;
constexpr Step GoOn = std::nullopt;

class ProjectSync {
  public:
    ProjectSync(const ProjectInputs& inputs, DateTime& lastSync, SyncCounters& counters,
                UserPrompt& prompt, const SyncOptions& options)
        : in_(withLocalDirEnding(inputs)),
          lastSync_(lastSync),
          counters_(counters),
          prompt_(prompt),
          options_(options),
          names_(in_.projectPath, in_.localDir),
          files_(in_, names_),
          progress_(prompt, inputs.projectPath),
          archivePath_(mediaArchivePath(
              inputs.mediumRoot,
              mediaFileName(inputs.projectPath, inputs.mask, inputs.includeSubfolders))) {}

    ProjectResult run();

  private:
    Step prepare();
    Step loadOldArchive();
    Step openPayloads();
    Step phaseOne();
    Step handleRecord(const RecordHead& head);
    Step handleListedFile(const RecordHead& head, const std::string& diskPath);
    Step handleMissingFile(const RecordHead& head, const std::string& localPath);
    Step sendDiskVersion(const RecordHead& head, FileTime diskTime, const std::string& diskPath);
    Step takeMediumVersion(const RecordHead& head, const std::string& diskPath);
    Step keepRecord(const RecordHead& head);
    Step skipRecord(const RecordHead& head);
    Step putOnDisk(const RecordHead& head, const std::string& path, DiskTarget target);
    Step phaseTwo();
    Step addNewFile(const std::string& path);
    Step finishPayload();
    bool rewritesArchive() const;
    ProjectResult endWithoutChanges();
    ProjectResult endWithNewArchive();

    std::optional<ConflictAnswer> answerConflict(const std::string& diskPath);
    void note(FileDecision decision, const std::string& localPath, const std::string& recordName,
              ConflictAnswer answer = ConflictAnswer::None);
    Step passOn(const RecordHead& head, Stream& content);
    Step add(const RecordHead& head, Stream& content);
    Step fits(const RecordHead& head);
    Step sent(Transfer transfer);
    Step stop(const std::string& message);
    Step stopForDisk(Transfer transfer, int error, const std::string& path);
    Step payloadFailed();

    const ProjectInputs in_;
    DateTime& lastSync_;
    SyncCounters& counters_;
    UserPrompt& prompt_;
    const SyncOptions& options_;
    RecordNames names_;
    LocalFiles files_;
    ProjectProgress progress_;
    const std::string archivePath_;

    LoadedArchive old_;
    bool hasOldArchive_ = false;
    DateTime mediaSync_ = 0;
    std::vector<BlockEnd> oldBlocks_;
    std::vector<RecordHead> oldRecords_;
    StreamPtr reader_;
    NewPayload newPayload_;
    std::uint64_t payloadBytes_ = 0;
    std::int32_t changes_ = 0;
    ConflictAnswer rememberedAnswer_ = ConflictAnswer::None;
};

ProjectResult ProjectSync::run() {
    for (Step (ProjectSync::*step)() :
         {&ProjectSync::prepare, &ProjectSync::loadOldArchive, &ProjectSync::openPayloads,
          &ProjectSync::phaseOne, &ProjectSync::phaseTwo, &ProjectSync::finishPayload}) {
        if (const Step end = (this->*step)()) {
            // The archive read at the start still carries the project.
            const bool found = old_.result != ArchiveLoad::Missing;
            return {*end, found ? in_.existingArchivePath : std::string()};
        }
    }
    return rewritesArchive() ? endWithNewArchive() : endWithoutChanges();
}

bool ProjectSync::rewritesArchive() const {
    // A project whose archive must move to a new name (its mask list or subfolder flag
    // changed) is written even when no file changed: the header must say what it is now.
    const bool renamed = hasOldArchive_ && in_.existingArchivePath != archivePath_;
    return changes_ >= 1 || renamed;
}

Step ProjectSync::prepare() {
    // Without a medium every archive path would name a "Ferry/" in the current folder.
    if (in_.mediumRoot.empty()) {
        prompt_.showMessage(noMediumMessage(in_.projectPath));
        return ProjectEnd::Refused;
    }
    // A project path from another system (C:\Work\Proj\) names no folder here.
    if (in_.localDir.empty() || in_.localDir.front() != '/') {
        prompt_.showMessage(workDirNeededMessage(in_.projectPath));
        return ProjectEnd::Refused;
    }
    removeStrayTemporaryArchive(archivePath_);
    return GoOn;
}

Step ProjectSync::loadOldArchive() {
    old_ = loadArchive(in_.existingArchivePath, progress_);
    switch (old_.result) {
        case ArchiveLoad::Missing: return GoOn;
        case ArchiveLoad::Stopped: return ProjectEnd::Stopped;
        case ArchiveLoad::Unreadable:
            return stop(cannotReadFileMessage(in_.existingArchivePath, errorText(old_.error)));
        case ArchiveLoad::NoProject:
            prompt_.showMessage(unsafeArchiveMessage(in_.existingArchivePath));
            return ProjectEnd::Refused;
        case ArchiveLoad::Loaded: break;
    }
    hasOldArchive_ = true;
    fileTimeToDateTime(old_.time, mediaSync_);
    const PayloadSurvey survey =
        surveyArchivePayload(in_.existingArchivePath, *old_.payload, names_, progress_);
    switch (survey.check) {
        case PayloadCheck::Sound: break;
        case PayloadCheck::Stopped: return ProjectEnd::Stopped;
        case PayloadCheck::NoMemory:
            return stop(cannotReadFileMessage(in_.existingArchivePath, errorText(ENOMEM)));
        case PayloadCheck::Unsafe:
            prompt_.showMessage(unsafeArchiveMessage(in_.existingArchivePath));
            return ProjectEnd::Refused;
    }
    // Every record's content goes to the new payload once; steps that also write it to
    // disk or read a disk file add their bytes when they come.
    progress_.expect(survey.contentBytes);
    oldBlocks_ = std::move(survey.blocks);
    oldRecords_ = std::move(survey.records);
    return GoOn;
}

Step ProjectSync::openPayloads() {
    const std::string problem = files_.list();
    if (!problem.empty()) return stop(problem);
    reader_ = newOldPayloadReader(*old_.payload, oldBlocks_);
    if (!newPayload_.open(*old_.payload, std::move(oldBlocks_), options_.wholeRecompression))
        return payloadFailed();
    return GoOn;
}

// The records as the check read them; a record's content is decoded only when it is
// needed.
Step ProjectSync::phaseOne() {
    std::uint64_t contentAt = 0;
    for (const RecordHead& head : oldRecords_) {
        contentAt += recordHeadSize(head);
        if (contentAt >= StreamFailure ||
            setPosition(*reader_, static_cast<std::uint32_t>(contentAt)) != contentAt)
            return stop(unsafeArchiveMessage(in_.existingArchivePath));
        if (const Step end = handleRecord(head)) return end;
        contentAt += head.size;
    }
    return GoOn;
}

Step ProjectSync::handleRecord(const RecordHead& head) {
    const std::string localPath = *names_.localPathOf(head.name);
    const std::int32_t index = files_.find(localPath);
    const std::string& diskPath = index < 0 ? localPath : files_.path(index);
    if (!progress_.startFile(diskPath)) return ProjectEnd::Stopped;
    if (index < 0) return handleMissingFile(head, localPath);
    files_.mark(index);
    return handleListedFile(head, diskPath);
}

// The file is opened only when its bytes are needed: most files only have their time
// compared, and a read-only file is no reason to stop.
Step ProjectSync::handleListedFile(const RecordHead& head, const std::string& diskPath) {
    // A listed file that went meanwhile is not found.
    const PathInfo disk = platform().pathInfo(diskPath);
    if (!disk.exists || disk.isFolder) return handleMissingFile(head, diskPath);
    const std::int32_t order = compareDiskWithRecord(disk.lastWrite, head.time);
    bool diskNewer = order > 0;
    bool mediumNewer = order < 0;
    if (diskNewer && hasOldArchive_ && mediumWrittenSince(mediaSync_, lastSync_)) {
        diskNewer = false;
        const std::optional<ConflictAnswer> answer = answerConflict(diskPath);
        note(FileDecision::Question, diskPath, head.name, answer.value_or(ConflictAnswer::Cancel));
        if (!answer) return ProjectEnd::Stopped;
        mediumNewer = *answer == ConflictAnswer::Yes || *answer == ConflictAnswer::YesToAll;
    } else {
        note(diskNewer     ? FileDecision::ReplaceOnMedium
             : mediumNewer ? FileDecision::ReplaceOnDisk
                           : FileDecision::Keep,
             diskPath, head.name);
    }
    if (diskNewer) return sendDiskVersion(head, disk.lastWrite, diskPath);
    if (mediumNewer) return takeMediumVersion(head, diskPath);
    return keepRecord(head);
}

// The answer to the conflict question; nothing for "Cancel". "Yes to all" and "No to
// all" answer the rest of this project's questions without showing them.
std::optional<ConflictAnswer> ProjectSync::answerConflict(const std::string& diskPath) {
    ConflictAnswer answer = rememberedAnswer_;
    if (answer == ConflictAnswer::None) {
        answer = options_.preview ? options_.previewAnswer
                                  : conflictAnswerOf(prompt_.askChoice(
                                        conflictQuestion(diskPath), std::string(ConflictAnswers)));
        if (answer == ConflictAnswer::YesToAll || answer == ConflictAnswer::NoToAll)
            rememberedAnswer_ = answer;
    }
    if (answer == ConflictAnswer::Cancel) return std::nullopt;
    // Esc, the close box or a quit request.
    if (answer == ConflictAnswer::None) return ConflictAnswer::No;
    return answer;
}

Step ProjectSync::sendDiskVersion(const RecordHead& head, FileTime diskTime,
                                  const std::string& diskPath) {
    StreamPtr disk = openReadFileStream(diskPath);
    if (getHandle(*disk) == InvalidFileHandle) return stop(cannotOpenFileMessage(diskPath));
    if (const Step end = skipRecord(head)) return end;
    DiskContent content = readDiskContent(*disk, progress_);
    if (content.result != Transfer::Done)
        return stopForDisk(content.result, content.error, diskPath);
    const RecordHead replaced{head.name, diskTime, getSize(*content.bytes)};
    progress_.expect(replaced.size);
    if (const Step end = add(replaced, *content.bytes)) return end;
    ++counters_.replacedOnMedia;
    ++changes_;
    return GoOn;
}

Step ProjectSync::takeMediumVersion(const RecordHead& head, const std::string& diskPath) {
    if (const Step end = putOnDisk(head, diskPath, DiskTarget::Replace)) return end;
    ++counters_.replacedInProjects;
    ++changes_;
    return GoOn;
}

// The disk gets the record's content, and the record goes on to the new payload as it was.
Step ProjectSync::putOnDisk(const RecordHead& head, const std::string& path, DiskTarget target) {
    StreamPtr content;
    progress_.expect(2 * std::uint64_t{head.size});
    const Transfer read = readRecordBytes(*reader_, head.size, content, progress_);
    if (read != Transfer::Done) return stopForDisk(read, 0, in_.existingArchivePath);
    const DiskWrite written =
        target == DiskTarget::Replace
            ? replaceFileFromMedium(path, *content, head.size, head.time, progress_)
            : createFileFromMedium(path, *content, head.size, head.time, progress_);
    if (written.stopped) return ProjectEnd::Stopped;
    if (!written.written) return stop(written.message);
    setPosition(*content, 0);
    return passOn(head, *content);
}

Step ProjectSync::keepRecord(const RecordHead& head) {
    return passOn(head, *reader_);
}

// Passes over a record's content that does not go on; its bytes count as handled.
Step ProjectSync::skipRecord(const RecordHead& head) {
    if (!skipRecordBytes(*reader_, head.size))
        return stop(unsafeArchiveMessage(in_.existingArchivePath));
    progress_.advance(head.size);
    return GoOn;
}

Step ProjectSync::handleMissingFile(const RecordHead& head, const std::string& localPath) {
    if (!files_.wouldList(localPath)) {
        note(FileDecision::DropFromMedium, localPath, head.name);
        if (const Step end = skipRecord(head)) return end;
        newPayload_.leaveOut();
        ++counters_.removedFromMedia;
        ++changes_;
        return GoOn;
    }
    note(FileDecision::CreateOnDisk, localPath, head.name);
    if (const Step end = putOnDisk(head, localPath, DiskTarget::Create)) return end;
    ++counters_.addedToProjects;
    return GoOn;
}

Step ProjectSync::phaseTwo() {
    for (std::int32_t i = 0; i < files_.count(); ++i) {
        if (files_.marked(i)) continue;
        if (const Step end = addNewFile(files_.path(i))) return end;
    }
    return GoOn;
}

Step ProjectSync::addNewFile(const std::string& path) {
    Platform& system = platform();
    if (!progress_.startFile(path)) return ProjectEnd::Stopped;
    StreamPtr file = openReadFileStream(path);
    FileTime time;
    if (getHandle(*file) == InvalidFileHandle) {
        // A listed file that went meanwhile has nothing to add.
        if (system.lastError() == ENOENT) return GoOn;
        return stop(cannotOpenFileMessage(path));
    }
    if (!system.lastWriteTime(getHandle(*file), time)) return stop(cannotOpenFileMessage(path));
    const std::string name = *names_.recordNameOf(path);
    note(FileDecision::AddToMedium, path, name);
    DiskContent content = readDiskContent(*file, progress_);
    if (content.result != Transfer::Done) return stopForDisk(content.result, content.error, path);
    const RecordHead head{name, time, getSize(*content.bytes)};
    progress_.expect(head.size);
    if (const Step end = add(head, *content.bytes)) return end;
    ++counters_.addedNewFiles;
    ++changes_;
    return GoOn;
}

// Nothing is compressed for an archive that is not written, unless told to. For one that
// is, the last blocks are compressed while the leading ones go to the medium.
Step ProjectSync::finishPayload() {
    reader_.reset();
    if (rewritesArchive()) return newPayload_.settle() ? GoOn : payloadFailed();
    if (options_.wholeRecompression) return newPayload_.finish() ? GoOn : payloadFailed();
    return GoOn;
}

ProjectResult ProjectSync::endWithoutChanges() {
    lastSync_ = now();
    if (!hasOldArchive_) return {ProjectEnd::Synchronized, {}};
    // Only the archive's time changes: it says when the medium was last synchronized.
    FileTime stamp;
    const FileHandle handle =
        openFileHandle(in_.existingArchivePath,
                       OpenFlags::GenericRead | OpenFlags::GenericWrite | OpenFlags::OpenExisting);
    if (handle != InvalidFileHandle) {
        if (dateTimeToFileTime(lastSync_, stamp)) platform().setLastWriteTime(handle, stamp);
        closeFileHandle(handle);
    }
    return {ProjectEnd::Synchronized, in_.existingArchivePath};
}

ProjectResult ProjectSync::endWithNewArchive() {
    const NewArchive archive{archivePath_,
                             buildHeaderText({in_.includeSubfolders, in_.projectPath, in_.mask}),
                             &newPayload_.compressed(), newPayload_.readyBytes(),
                             [this] { return newPayload_.finish(); }};
    const OldArchive old{hasOldArchive_ ? in_.existingArchivePath : std::string(), old_.headerText,
                         old_.stamp, old_.payload.get(), old_.time};
    switch (replaceArchive(archive, old, in_.projectNumber, prompt_, progress_, lastSync_)) {
        case ArchiveWriteEnd::Written:
            newPayload_.rememberAs(archivePath_);
            return {ProjectEnd::Synchronized, archivePath_};
        case ArchiveWriteEnd::Unmade: payloadFailed(); break;
        case ArchiveWriteEnd::Stopped:
        case ArchiveWriteEnd::Failed: break;
    }
    return {ProjectEnd::Stopped, fileExists(archivePath_) ? archivePath_ : old.path};
}

void ProjectSync::note(FileDecision decision, const std::string& localPath,
                       const std::string& recordName, ConflictAnswer answer) {
    prompt_.noteDecision({decision, localPath, recordName, answer});
}

// Every record goes to the new payload whole, or the project stops before the medium is
// written.
Step ProjectSync::passOn(const RecordHead& head, Stream& content) {
    if (const Step end = fits(head)) return end;
    return sent(newPayload_.passOn(head, content, progress_));
}

Step ProjectSync::add(const RecordHead& head, Stream& content) {
    if (const Step end = fits(head)) return end;
    return sent(newPayload_.add(head, content, progress_));
}

Step ProjectSync::fits(const RecordHead& head) {
    payloadBytes_ += recordHeadSize(head) + head.size;
    if (payloadBytes_ > LargestPayload) return stop(projectTooLargeMessage(in_.projectPath));
    return GoOn;
}

Step ProjectSync::sent(Transfer transfer) {
    switch (transfer) {
        case Transfer::Done: return GoOn;
        case Transfer::Stopped: return ProjectEnd::Stopped;
        case Transfer::TooLarge:
        case Transfer::Failed: break;
    }
    return payloadFailed();
}

Step ProjectSync::stop(const std::string& message) {
    prompt_.showMessage(message);
    return ProjectEnd::Stopped;
}

Step ProjectSync::stopForDisk(Transfer transfer, int error, const std::string& path) {
    switch (transfer) {
        case Transfer::Done:
        case Transfer::Stopped: return ProjectEnd::Stopped;
        case Transfer::TooLarge: return stop(fileTooLargeMessage(path));
        case Transfer::Failed: break;
    }
    if (error == 0) return stop(unsafeArchiveMessage(path));
    return stop(cannotReadFileMessage(path, errorText(error)));
}

// The new payload lives in memory: it fails only when memory runs out or it would pass
// the 32-bit positions.
Step ProjectSync::payloadFailed() {
    return stop(projectTooLargeMessage(in_.projectPath));
}

}  // namespace

ProjectResult synchronizeProject(const ProjectInputs& inputs, DateTime& lastSync,
                                 SyncCounters& counters, UserPrompt& prompt,
                                 const SyncOptions& options) {
    ProjectSync sync(inputs, lastSync, counters, prompt, options);
    return sync.run();
}

}  // namespace ferry
