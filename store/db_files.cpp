#include "store/db_files.h"

#include "cards/card_data.h"

namespace tovani {

std::string rirekiFolder(const std::string& programDir) { return programDir + "/RirekiDB"; }

std::string cardDbPath(const std::string& programDir, int32_t cardKind, const std::string& cardId) {
    return rirekiFolder(programDir) + "/" + dbFilePrefix(cardKind) + cardId + ".DB";
}

}  // namespace tovani
