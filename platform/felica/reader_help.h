#pragma once

// For the --help texts of the programs that open a reader/writer: the
// environment variables the reader choice (reader_choice.h), the reader log
// (reader_log.h) and libnfc read. The forms of TOVANI_READER and the
// automatic order come from the reader choice's own tables.

#include <string>

namespace tovani::felica {

std::string readerEnvironmentHelp();

}  // namespace tovani::felica
