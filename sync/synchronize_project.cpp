#include "sync/synchronize_project.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "archive/archive_check.h"
#include "archive/archive_loading.h"
#include "archive/archive_replacement.h"
#include "archive/checked_payloads.h"
#include "archive/disk_file_writer.h"
#include "archive/media_archive.h"
#include "archive/medium_write_time.h"
#include "archive/new_payload.h"
#include "archive/old_payload_reader.h"
#include "archive/record_names.h"
#include "archive/record_transfer.h"
#include "archive/safety_copy.h"
#include "archive/verified_payload.h"
#include "platform/files.h"
#include "platform/local_paths.h"
#include "platform/system_error.h"
#include "support/paths.h"
#include "sync/local_files.h"
#include "sync/record_times.h"
#include "sync/sync_messages.h"

namespace ferry {
namespace {

// The record sequence is read and written with 32-bit positions.
constexpr std::uint64_t LargestPayload = StreamFailure - 1;

std::string errorText(const Outcome& outcome) {
    return systemErrorText(outcome.error);
}

enum class DiskTarget { Replace, Create };

// Local paths are the local directory and a relative path, so the directory ends in "/".
ProjectInputs withLocalDirEnding(ProjectInputs inputs) {
    // An empty one names no folder (and must not become the root folder).
    if (!inputs.localDir.empty()) inputs.localDir = withTrailingSeparator(inputs.localDir);
    return inputs;
}

// A work directory this machine cannot ask is taken to tell case, as Linux folders do.
LetterCase letterCaseOf(Platform& system, const std::string& localDir) {
    return system.foldsLetterCase(localDir).value ? LetterCase::Folded : LetterCase::Exact;
}

class ProjectSync {
  public:
    ProjectSync(const RunContext& context, const ProjectInputs& inputs, DateTime& lastSync,
                SyncCounters& counters, UserPrompt& prompt, const SyncOptions& options)
        : context_(context),
          system_(context.platform),
          in_(withLocalDirEnding(inputs)),
          lastSync_(lastSync),
          counters_(counters),
          prompt_(prompt),
          options_(options),
          names_(in_.projectPath, in_.localDir, letterCaseOf(system_, in_.localDir)),
          files_(in_, names_),
          progress_(prompt, inputs.projectPath),
          archivePath_(mediaArchivePath(
              inputs.mediumRoot,
              mediaFileName(inputs.projectPath, inputs.mask, inputs.includeSubfolders))) {}

    ProjectResult run();

  private:
    Outcome prepare();
    Outcome loadOldArchive();
    Outcome loadWholeArchive();
    void takeSurvey(PayloadSurvey& survey);
    std::size_t recordsKeptAsTheyAre(std::unordered_set<std::string>& matchKeys);
    Outcome readBlocksInUse(std::size_t firstChanged);
    Outcome openPayloads();
    Outcome checkBeforeChanges();
    bool mayReachDisk(const RecordHead& head, const std::string& localPath);
    const PathInfo& listedFileInfo(std::int32_t index);
    PathInfo currentFileInfo(std::int32_t index);
    bool mayAskConflict() const;
    Outcome phaseOne();
    Outcome keepAll();
    Outcome handleRecord(const RecordHead& head);
    Outcome handleListedFile(const RecordHead& head, std::int32_t index);
    Outcome handleMissingFile(const RecordHead& head, const std::string& localPath);
    Outcome sendDiskVersion(const RecordHead& head, FileTime diskTime, const std::string& diskPath);
    Outcome replaceInPlace(const RecordHead& head, FileTime diskTime, const std::string& diskPath);
    Outcome takeMediumVersion(const RecordHead& head, const std::string& diskPath);
    Outcome keepRecord(const RecordHead& head);
    Outcome skipRecord(const RecordHead& head);
    Outcome putOnDisk(const RecordHead& head, const std::string& path, DiskTarget target);
    Outcome diskWriteFailed(const Outcome& written, const std::string& path, DiskTarget target);
    Outcome phaseTwo();
    struct TailFile;
    Outcome addAtTheEnd(const TailFile& file);
    Outcome finishPayload();
    bool rewritesArchive() const;
    ProjectResult endWithoutChanges();
    ProjectResult endWithNewArchive();

    std::optional<ConflictAnswer> answerConflict(const std::string& diskPath, const PathInfo& disk,
                                                 const RecordHead& head);
    void note(FileDecision decision, const std::string& localPath, const std::string& recordName,
              ConflictAnswer answer = ConflictAnswer::None);
    Outcome passOn(const RecordHead& head, Stream& content);
    Outcome add(const RecordHead& head, Stream& content);
    Outcome fits(const RecordHead& head);
    Outcome sent(const Outcome& outcome);
    Outcome stop(const std::string& message);
    Outcome refuse(const std::string& message);
    Outcome stopForRead(const Outcome& outcome);
    Outcome payloadFailed();

    const RunContext& context_;
    Platform& system_;
    const ProjectInputs in_;
    DateTime& lastSync_;
    SyncCounters& counters_;
    UserPrompt& prompt_;
    const SyncOptions& options_;
    RecordNames names_;
    LocalFiles files_;
    ProjectProgress progress_;
    const std::string archivePath_;
    DiskWrites diskWrites_{system_};

    LoadedArchive old_;
    bool hasOldArchive_ = false;
    DateTime mediaSync_ = 0;
    SynchronizedArchive synchronized_ = SynchronizedArchive::Unknown;
    std::vector<BlockEnd> oldBlocks_;
    std::vector<RecordHead> oldRecords_;
    std::optional<Digest> oldSurveySeal_;
    std::uint64_t oldContentBytes_ = 0;
    // The old archive as this machine's memory of synchronized archives knows archives.
    std::optional<Digest> oldArchiveDigest_;
    // The archive looks as this machine left it and no file changed since: its payload is
    // neither read nor written.
    bool untouched_ = false;
    StreamPtr reader_;
    NewPayload newPayload_;
    std::uint64_t payloadBytes_ = 0;
    std::int32_t changes_ = 0;
    ConflictAnswer rememberedAnswer_ = ConflictAnswer::None;
    std::unordered_map<std::string, std::string> recordByMatchKey_;
    // Files whose records go after those that stay as they were: new files, and the disk's
    // newer versions.
    struct TailFile {
        std::string path;
        std::string recordName;  // "" for a new file
        FileTime time;
    };
    std::vector<TailFile> tail_;
    // The listed files as the checks before any change found them, each asked once.
    std::vector<std::optional<PathInfo>> listedInfo_;
    FileTime checksAt_;     // when the first of them was asked
    bool refused_ = false;  // the project ends before anything changed; the run goes on
};

ProjectResult ProjectSync::run() {
    for (Outcome (ProjectSync::*step)() :
         {&ProjectSync::prepare, &ProjectSync::loadOldArchive, &ProjectSync::openPayloads,
          &ProjectSync::checkBeforeChanges, &ProjectSync::phaseOne, &ProjectSync::phaseTwo,
          &ProjectSync::finishPayload}) {
        if (const Outcome outcome = (this->*step)(); !outcome.done()) {
            // The archive read at the start still carries the project.
            const ProjectEnd end = refused_ ? ProjectEnd::Refused : ProjectEnd::Stopped;
            return {end, old_.found ? in_.existingArchivePath : std::string()};
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

Outcome ProjectSync::prepare() {
    // Without a medium every archive path would name a "Ferry/" in the current folder.
    if (in_.mediumRoot.empty()) return refuse(noMediumMessage(in_.projectPath));
    // A project path from another system (C:\Work\Proj\) names no folder here.
    if (!isAbsoluteLocalPath(in_.localDir)) return refuse(workDirNeededMessage(in_.projectPath));
    removeStrayTemporaryArchive(system_, archivePath_);
    return done();
}

Outcome ProjectSync::loadOldArchive() {
    // A damaged or hostile archive is refused before anything changes.
    old_ = openArchive(system_, in_.existingArchivePath);
    if (old_.outcome.fault == Fault::Damaged)
        return refuse(unsafeArchiveMessage(old_.outcome.path));
    if (!old_.outcome.done()) return stopForRead(old_.outcome);
    if (!old_.found) return done();
    hasOldArchive_ = true;
    fileTimeToDateTime(system_, old_.time, mediaSync_);
    if (options_.wholeRecompression) return loadWholeArchive();
    std::optional<PayloadSurvey> unchanged =
        recallUnchangedArchive(context_, in_.existingArchivePath, old_.look);
    if (!unchanged) return loadWholeArchive();
    // The archive this machine last synchronized with; it is read only if a file changed.
    PayloadSurvey survey = checkRememberedNames(std::move(*unchanged), names_);
    if (!survey.outcome.done()) return refuse(unsafeArchiveMessage(in_.existingArchivePath));
    synchronized_ = SynchronizedArchive::Same;
    untouched_ = true;
    takeSurvey(survey);
    return done();
}

Outcome ProjectSync::loadWholeArchive() {
    untouched_ = false;
    if (const Outcome loaded = loadPayload(old_, in_.existingArchivePath, progress_);
        !loaded.done())
        return stopForRead(loaded);
    PayloadSurvey survey =
        surveyArchivePayload(context_, in_.existingArchivePath, *old_.payload, names_, progress_);
    if (survey.outcome.fault == Fault::Damaged)
        return refuse(unsafeArchiveMessage(in_.existingArchivePath));
    if (!survey.outcome.done()) {
        survey.outcome.path = in_.existingArchivePath;
        return stopForRead(survey.outcome);
    }
    oldArchiveDigest_ = synchronizedDigestOf(context_, old_.headerText, old_.stamp, survey.blocks,
                                             getSize(*old_.payload));
    synchronized_ = recallSynchronizedArchive(context_, in_.existingArchivePath, oldArchiveDigest_);
    takeSurvey(survey);
    // Every record's content goes to the new payload once; steps that also write it to
    // disk or read a disk file add their bytes when they come.
    progress_.expect(oldContentBytes_);
    return done();
}

void ProjectSync::takeSurvey(PayloadSurvey& survey) {
    oldBlocks_ = std::move(survey.blocks);
    oldRecords_ = std::move(survey.records);
    oldSurveySeal_ = survey.rememberedAs;
    oldContentBytes_ = survey.contentBytes;
}

// How many leading records have their file on disk with the record's time, each its own
// file: the run keeps them as they are.
std::size_t ProjectSync::recordsKeptAsTheyAre(std::unordered_set<std::string>& matchKeys) {
    std::size_t kept = 0;
    for (const RecordHead& head : oldRecords_) {
        const std::string localPath = *names_.localPathOf(head.name);
        const std::int32_t index = files_.find(localPath);
        if (index < 0 || !matchKeys.insert(names_.matchKey(localPath)).second) break;
        const PathInfo& disk = listedFileInfo(index);
        if (!disk.exists || disk.isFolder || compareDiskWithRecord(disk.lastWrite, head.time) != 0)
            break;
        ++kept;
    }
    return kept;
}

// Something is to change in the archive this machine left: of its payload only the blocks
// from the first record that may change on are read, each checked against the digest
// this machine keeps for it, before anything changes (the blocks before it are checked the
// same way if a run reads them). A block that differs has the archive read and checked
// whole. An archive that moves to a new name is copied whole, so all of it is checked.
Outcome ProjectSync::readBlocksInUse(std::size_t firstChanged) {
    untouched_ = false;
    std::uint64_t decodedAt = 0;
    if (in_.existingArchivePath == archivePath_) {
        for (std::size_t i = 0; i < firstChanged; ++i)
            decodedAt += recordHeadSize(oldRecords_[i]) + oldRecords_[i].size;
    }
    const std::optional<DigestKey> key = memoryKey(context_);
    StreamPtr payload = key ? newVerifiedPayload(system_, in_.existingArchivePath,
                                                 old_.payloadStart, oldBlocks_, *key)
                            : nullptr;
    if (!payload || !verifyBlocksFrom(*payload, decodedAt)) return loadWholeArchive();
    old_.payload = std::move(payload);
    old_.file.reset();
    progress_.expect(oldContentBytes_);
    return done();
}

Outcome ProjectSync::openPayloads() {
    const Outcome listed = files_.list(system_);
    if (listed.fault == Fault::System)
        return stop(listingFailedMessage(listed.path, errorText(listed)));
    // A file the medium can not carry is left out, told and counted; the rest goes on.
    for (const LocalFiles::Uncarried& file : files_.uncarried()) {
        prompt_.showMessage(file.twin.empty() ? uncarriableNameMessage(file.path)
                                              : caseTwinsMessage(file.twin, file.path));
        ++counters_.uncarriedFiles;
    }
    if (untouched_) {
        std::unordered_set<std::string> matchKeys;
        const std::size_t kept = recordsKeptAsTheyAre(matchKeys);
        // Every record has its file with the record's time and every listed file its record.
        if (in_.existingArchivePath == archivePath_ && kept == oldRecords_.size() &&
            matchKeys.size() == static_cast<std::size_t>(files_.count())) {
            old_.file.reset();
            return done();
        }
        if (const Outcome read = readBlocksInUse(kept); !read.done()) return read;
    }
    reader_ = newOldPayloadReader(*old_.payload, oldBlocks_);
    if (!newPayload_.open(*old_.payload, std::move(oldBlocks_), options_.wholeRecompression))
        return payloadFailed();
    return done();
}

// No file from the medium is written through a link (a crafted archive could name
// "linked/evil" to write wherever the link leads): a record that may be written and has a
// link on its way refuses the project before anything changed. Reading still follows
// links, as the listing does.
Outcome ProjectSync::checkBeforeChanges() {
    if (untouched_) return done();
    std::vector<bool> inArchive(static_cast<std::size_t>(files_.count()));
    for (const RecordHead& head : oldRecords_) {
        const std::string localPath = *names_.localPathOf(head.name);
        if (const std::int32_t index = files_.find(localPath); index >= 0)
            inArchive[static_cast<std::size_t>(index)] = true;
        if (!mayReachDisk(head, localPath)) continue;
        const std::string link = linkOnTheWay(system_, in_.localDir, localPath);
        if (!link.empty()) return refuse(linkInWayMessage(localPath, link));
    }
    // A first run with a project the medium carries, in a folder that holds files of
    // something else: they are not mixed into it (the folder may be another project's).
    if (hasOldArchive_ && lastSync_ == 0) {
        for (std::int32_t i = 0; i < files_.count(); ++i) {
            if (!inArchive[static_cast<std::size_t>(i)])
                return refuse(foreignFilesMessage(in_.projectPath, files_.path(i)));
        }
    }
    return done();
}

// Whether phase one could put the record on disk: the disk has no such file, or an older
// one, or a newer one the conflict question may give up.
bool ProjectSync::mayReachDisk(const RecordHead& head, const std::string& localPath) {
    const std::int32_t index = files_.find(localPath);
    if (index < 0) return files_.wouldList(localPath);
    const PathInfo& disk = listedFileInfo(index);
    if (!disk.exists || disk.isFolder) return files_.wouldList(localPath);
    const std::int32_t order = compareDiskWithRecord(disk.lastWrite, head.time);
    return order < 0 || (order > 0 && mayAskConflict());
}

// The medium was written since this machine's last run: known exactly when this machine
// remembers the archive it last synchronized with, else told by the clocks.
bool ProjectSync::mayAskConflict() const {
    if (!hasOldArchive_) return false;
    if (synchronized_ == SynchronizedArchive::Unknown)
        return mediumWrittenSince(mediaSync_, lastSync_);
    return synchronized_ == SynchronizedArchive::Other;
}

// A large project's run spends most of its time asking the system about files: the
// checks before any change ask about each listed file once, and phase one takes their
// answer while it is fresh.
const PathInfo& ProjectSync::listedFileInfo(std::int32_t index) {
    if (listedInfo_.empty()) {
        listedInfo_.resize(static_cast<std::size_t>(files_.count()));
        checksAt_ = system_.currentTime();
    }
    std::optional<PathInfo>& info = listedInfo_[static_cast<std::size_t>(index)];
    if (!info) info = system_.pathInfo(files_.path(index));
    return *info;
}

// A listed file as it is now: as the checks found it when they asked less than a second
// ago, else asked again (it may have changed while earlier records were written).
PathInfo ProjectSync::currentFileInfo(std::int32_t index) {
    const auto at = static_cast<std::size_t>(index);
    const std::uint64_t now = system_.currentTime().ticks;
    if (at < listedInfo_.size() && listedInfo_[at] && now >= checksAt_.ticks &&
        now - checksAt_.ticks < FileTicksPerSecond)
        return *listedInfo_[at];
    return system_.pathInfo(files_.path(index));
}

// The records as the check read them; a record's content is decoded only when it is
// needed.
Outcome ProjectSync::phaseOne() {
    if (untouched_) return keepAll();
    std::uint64_t contentAt = 0;
    for (const RecordHead& head : oldRecords_) {
        contentAt += recordHeadSize(head);
        if (contentAt >= StreamFailure ||
            setPosition(*reader_, static_cast<std::uint32_t>(contentAt)) != contentAt)
            return stop(unsafeArchiveMessage(in_.existingArchivePath));
        if (const Outcome outcome = handleRecord(head); !outcome.done()) return outcome;
        contentAt += head.size;
    }
    const Outcome placed = diskWrites_.place();
    return placed.done() ? placed : diskWriteFailed(placed, placed.path, DiskTarget::Create);
}

// Every record stays as it is, and so does its file.
Outcome ProjectSync::keepAll() {
    for (const RecordHead& head : oldRecords_) {
        const std::string& diskPath = files_.path(files_.find(*names_.localPathOf(head.name)));
        if (!progress_.startFile(diskPath)) return stopped();
        note(FileDecision::Keep, diskPath, head.name);
    }
    return done();
}

Outcome ProjectSync::handleRecord(const RecordHead& head) {
    const std::string localPath = *names_.localPathOf(head.name);
    const std::int32_t index = files_.find(localPath);
    const std::string& diskPath = index < 0 ? localPath : files_.path(index);
    if (!progress_.startFile(diskPath)) return stopped();
    // Where the work directory folds case, a record whose name differs from an earlier
    // one's only in case would land on that one's file: it stays on the medium as it is.
    const auto [twin, first] = recordByMatchKey_.emplace(names_.matchKey(localPath), localPath);
    if (!first) {
        prompt_.showMessage(caseTwinsMessage(twin->second, localPath));
        ++counters_.uncarriedFiles;
        return keepRecord(head);
    }
    if (index < 0) return handleMissingFile(head, localPath);
    files_.mark(index);
    return handleListedFile(head, index);
}

// The file is opened only when its bytes are needed: most files only have their time
// compared, and a read-only file is no reason to stop.
Outcome ProjectSync::handleListedFile(const RecordHead& head, std::int32_t index) {
    const std::string& diskPath = files_.path(index);
    // A listed file that went meanwhile is not found.
    const PathInfo disk = currentFileInfo(index);
    if (!disk.exists || disk.isFolder) return handleMissingFile(head, diskPath);
    const std::int32_t order = compareDiskWithRecord(disk.lastWrite, head.time);
    bool diskNewer = order > 0;
    bool mediumNewer = order < 0;
    if (diskNewer && mayAskConflict()) {
        diskNewer = false;
        const std::optional<ConflictAnswer> answer = answerConflict(diskPath, disk, head);
        note(FileDecision::Question, diskPath, head.name, answer.value_or(ConflictAnswer::Cancel));
        if (!answer) return stopped();
        mediumNewer = *answer == ConflictAnswer::Yes || *answer == ConflictAnswer::YesToAll;
    } else {
        note(diskNewer     ? FileDecision::ReplaceOnMedium
             : mediumNewer ? FileDecision::ReplaceOnDisk
                           : FileDecision::Keep,
             diskPath, head.name);
    }
    if (diskNewer) {
        return disk.size == head.size ? replaceInPlace(head, disk.lastWrite, diskPath)
                                      : sendDiskVersion(head, disk.lastWrite, diskPath);
    }
    if (mediumNewer) return takeMediumVersion(head, diskPath);
    return keepRecord(head);
}

// The answer to the conflict question; nothing for "Cancel". "Yes to all" and "No to
// all" answer the rest of this project's questions without showing them.
std::optional<ConflictAnswer> ProjectSync::answerConflict(const std::string& diskPath,
                                                          const PathInfo& disk,
                                                          const RecordHead& head) {
    ConflictAnswer answer = rememberedAnswer_;
    if (answer == ConflictAnswer::None) {
        ConflictCopies copies{0, disk.size, 0, head.size};
        fileTimeToDateTime(system_, disk.lastWrite, copies.diskTime);
        fileTimeToDateTime(system_, head.time, copies.mediumTime);
        answer = options_.preview
                     ? options_.previewAnswer
                     : conflictAnswerOf(prompt_.askChoice(conflictQuestion(diskPath, copies),
                                                          std::string(ConflictAnswers)));
        if (answer == ConflictAnswer::YesToAll || answer == ConflictAnswer::NoToAll)
            rememberedAnswer_ = answer;
    }
    if (answer == ConflictAnswer::Cancel) return std::nullopt;
    // Esc, the close box or a quit request.
    if (answer == ConflictAnswer::None) return ConflictAnswer::No;
    return answer;
}

// A version of another size goes at the end: a file someone works on changes again soon, and
// its next version then costs a rewrite of the archive's tail only (the blocks before it
// are copied as they are).
Outcome ProjectSync::sendDiskVersion(const RecordHead& head, FileTime diskTime,
                                     const std::string& diskPath) {
    if (const Outcome skipped = skipRecord(head); !skipped.done()) return skipped;
    newPayload_.leaveOut();
    tail_.push_back({diskPath, head.name, diskTime});
    return done();
}

// A file whose bytes are still the record's (touched: a checkout, a copy, a tool that
// wrote the same output again) keeps the record's place with its new time: nothing after
// it moves, so the blocks after it are copied as they are and only the one holding its
// time is compressed again. A file someone changed goes at the end, even at the same size:
// kept in place, each of its next changes would move everything after it.
Outcome ProjectSync::replaceInPlace(const RecordHead& head, FileTime diskTime,
                                    const std::string& diskPath) {
    const std::uint32_t contentAt = position(*reader_);
    const Made<DiskFile> opened = openDiskFile(system_, diskPath);
    if (!opened.outcome.done()) return stop(cannotOpenFileMessage(diskPath));
    const Made<StreamPtr> content =
        readDiskContent(system_, *opened.value.stream, diskPath, progress_);
    if (!content.outcome.done()) return stopForRead(content.outcome);
    if (getSize(*content.value) != head.size) return sendDiskVersion(head, diskTime, diskPath);
    Made<StreamPtr> recorded = readRecordBytes(*reader_, head.size, progress_);
    if (!recorded.outcome.done()) {
        recorded.outcome.path = in_.existingArchivePath;
        return stopForRead(recorded.outcome);
    }
    if (!sameContent(*content.value, *recorded.value)) {
        setPosition(*reader_, contentAt);
        return sendDiskVersion(head, diskTime, diskPath);
    }
    progress_.expect(head.size);
    const RecordHead version{head.name, opened.value.time, head.size};
    if (const Outcome fit = fits(version); !fit.done()) return fit;
    if (const Outcome put = sent(newPayload_.replace(version, *content.value, progress_));
        !put.done())
        return put;
    ++counters_.replacedOnMedia;
    ++changes_;
    return done();
}

Outcome ProjectSync::takeMediumVersion(const RecordHead& head, const std::string& diskPath) {
    if (const Outcome put = putOnDisk(head, diskPath, DiskTarget::Replace); !put.done()) return put;
    ++counters_.replacedInProjects;
    ++changes_;
    return done();
}

// The disk gets the record's content, and the record goes on to the new payload as it was.
Outcome ProjectSync::putOnDisk(const RecordHead& head, const std::string& path, DiskTarget target) {
    // Links may have been made since the check.
    if (const std::string link = linkOnTheWay(system_, in_.localDir, path); !link.empty())
        return stop(linkInWayMessage(path, link));
    progress_.expect(2 * std::uint64_t{head.size});
    Made<StreamPtr> content = readRecordBytes(*reader_, head.size, progress_);
    if (!content.outcome.done()) {
        content.outcome.path = in_.existingArchivePath;
        return stopForRead(content.outcome);
    }
    const Outcome written =
        target == DiskTarget::Replace
            ? diskWrites_.replace(path, *content.value, head.size, head.time, progress_)
            : diskWrites_.create(path, *content.value, head.size, head.time, progress_);
    if (!written.done()) return diskWriteFailed(written, path, target);
    setPosition(*content.value, 0);
    return passOn(head, *content.value);
}

// A new file waiting in its batch may be the one that failed: the failure names it.
Outcome ProjectSync::diskWriteFailed(const Outcome& written, const std::string& path,
                                     DiskTarget target) {
    if (written.stopped()) return written;
    if (written.fault == Fault::LinkInWay) return stop(linkInWayMessage(path, written.path));
    const std::string& failed = written.path.empty() ? path : written.path;
    if (target == DiskTarget::Create && errorKind(written.error) == ErrorKind::Exists)
        return stop(pathTakenMessage(failed));
    return stop(cannotWriteFileMessage(failed, errorText(written)));
}

Outcome ProjectSync::keepRecord(const RecordHead& head) {
    return passOn(head, *reader_);
}

// Passes over a record's content that does not go on; its bytes count as handled.
Outcome ProjectSync::skipRecord(const RecordHead& head) {
    if (!skipRecordBytes(*reader_, head.size))
        return stop(unsafeArchiveMessage(in_.existingArchivePath));
    progress_.advance(head.size);
    return done();
}

Outcome ProjectSync::handleMissingFile(const RecordHead& head, const std::string& localPath) {
    if (!files_.wouldList(localPath)) {
        note(FileDecision::DropFromMedium, localPath, head.name);
        if (const Outcome skipped = skipRecord(head); !skipped.done()) return skipped;
        newPayload_.leaveOut();
        ++counters_.removedFromMedia;
        ++changes_;
        return done();
    }
    // A path this system cannot create is told and stays on the medium, before any folder
    // is made for it.
    if (!localPathFits(localPath + std::string(DiskTemporarySuffix))) {
        prompt_.showMessage(pathTooLongMessage(localPath));
        ++counters_.uncarriedFiles;
        return keepRecord(head);
    }
    note(FileDecision::CreateOnDisk, localPath, head.name);
    if (const Outcome put = putOnDisk(head, localPath, DiskTarget::Create); !put.done()) return put;
    ++counters_.addedToProjects;
    return done();
}

// The new files and the new versions that go last, oldest first: what changed last is
// the likeliest to change again.
Outcome ProjectSync::phaseTwo() {
    if (untouched_) return done();
    for (std::int32_t i = 0; i < files_.count(); ++i) {
        if (!files_.marked(i))
            tail_.push_back({files_.path(i), {}, system_.pathInfo(files_.path(i)).lastWrite});
    }
    std::stable_sort(tail_.begin(), tail_.end(), [](const TailFile& a, const TailFile& b) {
        return a.time.ticks < b.time.ticks;
    });
    for (const TailFile& file : tail_) {
        if (const Outcome added = addAtTheEnd(file); !added.done()) return added;
    }
    return done();
}

Outcome ProjectSync::addAtTheEnd(const TailFile& file) {
    const bool replaces = !file.recordName.empty();
    if (!progress_.startFile(file.path)) return stopped();
    const Made<DiskFile> opened = openDiskFile(system_, file.path);
    // A new file that went meanwhile has nothing to add; the record of one that went must
    // not go with it.
    if (!replaces && errorKind(opened.outcome.error) == ErrorKind::NotFound) return done();
    if (!opened.outcome.done()) return stop(cannotOpenFileMessage(file.path));
    const std::string name = replaces ? file.recordName : *names_.recordNameOf(file.path);
    if (!replaces) note(FileDecision::AddToMedium, file.path, name);
    const Made<StreamPtr> content =
        readDiskContent(system_, *opened.value.stream, file.path, progress_);
    if (!content.outcome.done()) return stopForRead(content.outcome);
    const RecordHead head{name, opened.value.time, getSize(*content.value)};
    progress_.expect(head.size);
    if (const Outcome added = add(head, *content.value); !added.done()) return added;
    ++(replaces ? counters_.replacedOnMedia : counters_.addedNewFiles);
    ++changes_;
    return done();
}

// Nothing is compressed for an archive that is not written, unless told to. For one that
// is, the last blocks are compressed while the leading ones go to the medium.
Outcome ProjectSync::finishPayload() {
    reader_.reset();
    if (rewritesArchive()) return newPayload_.settle() ? done() : payloadFailed();
    if (options_.wholeRecompression) return newPayload_.finish() ? done() : payloadFailed();
    return done();
}

ProjectResult ProjectSync::endWithoutChanges() {
    lastSync_ = now(system_);
    if (!hasOldArchive_) return {ProjectEnd::Synchronized, {}};
    if (synchronized_ != SynchronizedArchive::Same)
        rememberSynchronizedArchive(context_, in_.existingArchivePath, oldArchiveDigest_);
    // Only the archive's time changes: it says when the medium was last synchronized.
    FileTime stamp;
    if (dateTimeToFileTime(system_, lastSync_, stamp))
        (void)setFileTime(system_, in_.existingArchivePath, stamp);
    rememberArchiveLook(context_, in_.existingArchivePath,
                        system_.pathInfo(in_.existingArchivePath), oldSurveySeal_);
    return {ProjectEnd::Synchronized, in_.existingArchivePath};
}

ProjectResult ProjectSync::endWithNewArchive() {
    const NewArchive archive{archivePath_,
                             buildHeaderText({in_.includeSubfolders, in_.projectPath, in_.mask}),
                             now(system_),
                             &newPayload_.compressed(),
                             newPayload_.readyBytes(),
                             [this] { return newPayload_.finish(); }};
    const OldArchive old{hasOldArchive_ ? in_.existingArchivePath : std::string(),
                         old_.headerText,
                         old_.stamp,
                         old_.payload.get(),
                         old_.time,
                         safetyCopyPath(context_.stateFolder, in_.existingArchivePath)};
    const ArchiveTroubles tell = [this](ArchiveTrouble trouble, const Outcome& failed) {
        switch (trouble) {
            case ArchiveTrouble::OldNotDeleted:
                prompt_.showMessage(
                    oldArchiveNotDeletedMessage(failed.path, in_.projectPath, errorText(failed)));
                break;
            case ArchiveTrouble::NotWritten:
                prompt_.showMessage(archiveNotWrittenMessage(failed.path, in_.projectPath,
                                                             errorKind(failed.error)));
                break;
            case ArchiveTrouble::NotRestored:
                prompt_.showMessage(archiveNotRestoredMessage(failed.path));
                break;
        }
    };
    const Outcome replaced = replaceArchive(system_, archive, old, tell, progress_, lastSync_);
    // A preview wrote nowhere: it tells what the medium would refuse.
    if (const SystemError refusal = replaced.done() && options_.preview
                                        ? mediumRefusal(system_, archive, old)
                                        : SystemError{};
        refusal.failed()) {
        tell(ArchiveTrouble::NotWritten, systemFailure(archivePath_, refusal));
        return {ProjectEnd::Stopped, old.path};
    }
    if (replaced.done()) {
        const RememberedPayload remembered = newPayload_.rememberAs(context_, archivePath_);
        rememberSynchronizedArchive(
            context_, archivePath_,
            synchronizedDigestOf(context_, archive.headerText, archive.stamp, remembered.blocks,
                                 newPayload_.bytes().size()));
        rememberArchiveLook(context_, archivePath_, system_.pathInfo(archivePath_),
                            remembered.seal);
        noteMediumWrite(system_, in_.mediumRoot);
        return {ProjectEnd::Synchronized, archivePath_};
    }
    // A payload that could not be completed was told to nobody yet.
    if (replaced.fault == Fault::TooLarge) payloadFailed();
    return {ProjectEnd::Stopped, fileExists(system_, archivePath_) ? archivePath_ : old.path};
}

void ProjectSync::note(FileDecision decision, const std::string& localPath,
                       const std::string& recordName, ConflictAnswer answer) {
    prompt_.noteDecision({decision, localPath, recordName, answer});
}

// Every record goes to the new payload whole, or the project stops before the medium is
// written.
Outcome ProjectSync::passOn(const RecordHead& head, Stream& content) {
    if (const Outcome fit = fits(head); !fit.done()) return fit;
    return sent(newPayload_.passOn(head, content, progress_));
}

Outcome ProjectSync::add(const RecordHead& head, Stream& content) {
    if (const Outcome fit = fits(head); !fit.done()) return fit;
    return sent(newPayload_.add(head, content, progress_));
}

Outcome ProjectSync::fits(const RecordHead& head) {
    payloadBytes_ += recordHeadSize(head) + head.size;
    if (payloadBytes_ > LargestPayload) return stop(projectTooLargeMessage(in_.projectPath));
    return done();
}

Outcome ProjectSync::sent(const Outcome& outcome) {
    return outcome.failed() ? payloadFailed() : outcome;
}

// Tells the user why the project ends here.
Outcome ProjectSync::stop(const std::string& message) {
    prompt_.showMessage(message);
    return failure(Fault::None);
}

// The same, before anything changed: the run goes on with the next project.
Outcome ProjectSync::refuse(const std::string& message) {
    refused_ = true;
    return stop(message);
}

// A file or archive that could not be read.
Outcome ProjectSync::stopForRead(const Outcome& outcome) {
    switch (outcome.fault) {
        case Fault::None: return outcome;
        case Fault::TooLarge: return stop(fileTooLargeMessage(outcome.path));
        case Fault::Damaged: return stop(unsafeArchiveMessage(outcome.path));
        case Fault::LinkInWay: return stop(linkInWayMessage(outcome.path, outcome.path));
        case Fault::System: break;
    }
    return stop(cannotReadFileMessage(outcome.path, errorText(outcome)));
}

// The new payload lives in memory: it fails only when memory runs out or it would pass
// the 32-bit positions.
Outcome ProjectSync::payloadFailed() {
    return stop(projectTooLargeMessage(in_.projectPath));
}

}  // namespace

ProjectResult synchronizeProject(const RunContext& context, const ProjectInputs& inputs,
                                 DateTime& lastSync, SyncCounters& counters, UserPrompt& prompt,
                                 const SyncOptions& options) {
    ProjectSync sync(context, inputs, lastSync, counters, prompt, options);
    return sync.run();
}

}  // namespace ferry
