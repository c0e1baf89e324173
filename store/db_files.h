#pragma once

// Where card files lie. The program folder and the file checks are the
// database helpers' (database/file_system.h).

#include <cstdint>
#include <string>

#include "database/file_system.h"

namespace tovani {

// programFolder + "/RirekiDB".
std::string rirekiFolder(const std::string& programDir);

// programDir + "/RirekiDB/" + dbFilePrefix(cardKind) + cardId + ".DB".
std::string cardDbPath(const std::string& programDir, int32_t cardKind, const std::string& cardId);

}  // namespace tovani
