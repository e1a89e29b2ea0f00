#pragma once

#include <string_view>

namespace ferry {

// Shows the folder in the desktop's file manager (whatever the desktop opens folders
// with). False when nothing could be started for it.
bool openInFileManager(std::string_view folder);

}  // namespace ferry
