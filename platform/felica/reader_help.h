#pragma once

// For the --help texts of the programs that open a reader/writer: the
// environment variables the reader choice (reader_choice.h), the reader log
// (reader_log.h) and libnfc read.

namespace tovani::felica {

inline constexpr const char* readerEnvironmentHelp =
    "  FELICA_VIRTUAL_READER  a folder to use as the reader/writer: the card image\n"
    "                         card.json in it is the card lying on it, a file named\n"
    "                         unplugged unplugs it (wins over TOVANI_READER)\n"
    "  TOVANI_READER          the reader/writer to use: pcsc (the first PC/SC\n"
    "                         reader), pcsc:NAME, libnfc (the first libnfc device) or\n"
    "                         libnfc:CONNECTION (e.g. libnfc:pn532_uart:/dev/ttyUSB0);\n"
    "                         unset: the first PC/SC reader showing a FeliCa card,\n"
    "                         else the first libnfc device, else the first PC/SC\n"
    "                         reader\n"
    "  TOVANI_READER_LOG      a file to which every exchange with the reader/writer\n"
    "                         is appended\n"
    "  LIBNFC_*               libnfc's own settings, e.g. LIBNFC_DEVICE and\n"
    "                         LIBNFC_LOG_LEVEL\n";

}  // namespace tovani::felica
