// Finding the removable media among the mounted folders.

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/removable_media.h"
#include "tests/testkit/temp_dir.h"

namespace ferry {
namespace {

namespace fs = std::filesystem;

// A folder laid out as /proc and /sys are: each device's folder under sys/devices, a
// partition's inside its disk's, and sys/dev/block/<major>:<minor> linking to them.
class SystemTree {
  public:
    void write(const std::string& relative, const std::string& content) const {
        fs::create_directories((base() / relative).parent_path());
        std::ofstream(base() / relative) << content;
    }
    void disk(const std::string& name, const std::string& number, bool removable) const {
        write("sys/devices/" + name + "/removable", removable ? "1\n" : "0\n");
        link(number, "sys/devices/" + name);
    }
    void partition(const std::string& disk, const std::string& name,
                   const std::string& number) const {
        write("sys/devices/" + disk + "/" + name + "/partition", "1\n");
        link(number, "sys/devices/" + disk + "/" + name);
    }
    void link(const std::string& number, const std::string& target) const {
        fs::create_directories(base() / "sys/dev/block");
        fs::create_symlink(fs::path("../../..") / target, base() / "sys/dev/block" / number);
    }

    fs::path base() const { return root.path(); }

    testkit::TempDir root;
};

TEST(RemovableMedia, MountPointsOfRemovableDisksAndTheirPartitions) {
    SystemTree tree;
    tree.disk("sda", "8:0", false);
    tree.partition("sda", "sda1", "8:1");
    tree.disk("sdb", "8:16", true);
    tree.partition("sdb", "sdb1", "8:17");
    tree.partition("sdb", "sdb2", "8:18");
    tree.disk("mmcblk0", "179:0", true);
    tree.disk("sr0", "11:0", true);
    tree.write("proc/self/mountinfo",
               "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
               "23 22 0:21 / /proc rw shared:12 - proc proc rw\n"
               "40 22 8:17 / /media/ann/STICK rw,nosuid shared:30 - vfat /dev/sdb1 rw\n"
               "41 22 8:18 / /media/ann/My\\040Work\\134x rw shared:31 - exfat /dev/sdb2 rw\n"
               "42 22 179:0 / /mnt/card rw shared:32 - vfat /dev/mmcblk0 rw\n"
               "43 22 8:17 / /media/ann/STICK rw shared:33 - vfat /dev/sdb1 rw\n"
               "44 22 8:33 / /media/ann/gone rw shared:34 - vfat /dev/sdc1 rw\n"
               "short line\n"
               "45 22 8:1 /home /srv/home rw shared:35 - ext4 /dev/sda1 rw");
    EXPECT_EQ(
        removableMountPoints(systemPlatform(), tree.root.path()),
        (std::vector<std::string>{"/media/ann/STICK/", "/media/ann/My Work\\x/", "/mnt/card/"}))
        << "the system disk, pseudo file systems, a device without sys entry and a second "
           "mount of the same folder are left out; escapes are read";
}

TEST(RemovableMedia, NothingWithoutAMountTable) {
    testkit::TempDir empty;
    EXPECT_TRUE(removableMountPoints(systemPlatform(), empty.path()).empty());
}

}  // namespace
}  // namespace ferry
