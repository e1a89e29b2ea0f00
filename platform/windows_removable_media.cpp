#include <windows.h>

#include "platform/removable_media.h"

namespace ferry {

// The roots of the drives the system calls removable ("E:\"), in drive-letter order.
// Windows keeps no mount table to read, so `systemRoot` has nothing to name here.
std::vector<std::string> removableMountPoints(Platform& /*system*/,
                                              std::string_view /*systemRoot*/) {
    std::vector<std::string> roots;
    const DWORD drives = GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter) {
        if ((drives & (DWORD{1} << letter)) == 0) continue;
        const wchar_t root[] = {static_cast<wchar_t>(L'A' + letter), L':', L'\\', L'\0'};
        if (GetDriveTypeW(root) == DRIVE_REMOVABLE) {
            roots.push_back(std::string{static_cast<char>('A' + letter), ':', '\\'});
        }
    }
    return roots;
}

}  // namespace ferry
