// Drive letters that stand for folders of the machine.
#pragma once

#include <filesystem>
#include <map>

namespace zav5::platform {

// The folder of each drive letter: 'c' -> /srv/store for "--drive C=/srv/store".
using DriveMap = std::map<char, std::filesystem::path>;

}  // namespace zav5::platform
