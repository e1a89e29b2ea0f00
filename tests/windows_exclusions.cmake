# The tests the Windows build leaves out, each with its reason; everything else runs
# there under Wine.

# Whole programs that stage their cases with POSIX calls (fork, sockets, permission bits,
# a mount table) or read the SQLite store file, which Windows does not have: the
# registry store is the system's own there.
set(FERRY_WINDOWS_SKIPPED_PROGRAMS
    test_cli                 # runs the program through fork and exec
    test_file_stream         # opens and closes descriptors with open() and close()
    test_folder_listing      # links, fifos, permission bits
    test_platform            # the POSIX platform's own behaviour: fifos, fork, flock
    test_removable_media     # the Linux mount table
    test_ucl_bounds          # guard pages from mmap
    test_registry            # the SQLite store file
    test_settings_store      # the SQLite store file
    test_mask_history        # the SQLite store file
    test_medium_scan         # permission bits, links
    test_project_file_set    # permission bits, links
    test_sync_failures       # permission bits
    test_sync_run            # fork, the SQLite store file
    test_sync_safety         # symbolic links
    test_date_time           # sets the time zone through TZ
    test_system_error        # the codes and texts of POSIX errors (the Windows ones: test_windows)
)

# Single cases, as GoogleTest patterns joined by ":".
set(FERRY_WINDOWS_EXCLUDED
    # A path over 4096 bytes is a POSIX limit; Windows opens up to 32767 UTF-16 units.
    "SyncTest.UncreatablePathsStayOnTheMedium"
    # Expects the POSIX error numbers of each refusal.
    "WithholdingPlatform.RefusesWhatTheDiskWouldRefuse"
    # Expects the memory folder's permission bits to be 0700; Windows keeps it private
    # through the profile's access list.
    "CheckedPayloadTest.RunsThatRelyOnTheMemoryLeaveWholeArchives"
    # Need two names differing only in letter case on one disk, which Windows' is not
    # (test_windows covers names on a case-insensitive disk).
    "SyncTest.CaseTwinsAndBackslashNamesTravelWhereTheWorkDirectoryCanHoldThem"
    "SyncTest.EveryOutcomeOfARecordAndItsFile"
    # "C:\Work\Proj\" names no folder on Linux, but does on Windows.
    "SyncTest.WindowsArchiveTravelsThroughALinuxWorkDirectory"
)
list(JOIN FERRY_WINDOWS_EXCLUDED ":" FERRY_WINDOWS_EXCLUDED)
