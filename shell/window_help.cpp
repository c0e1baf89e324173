#include "shell/window_help.h"

#include "database/file_system.h"
#include "platform/felica/reader_help.h"
#include "tools/command_line.h"

namespace tovani::shell {

std::string windowHelpText(const WindowSystemHelp& system) {
    return std::string(WindowSynopsis) +
           "\n"
           "Reads the history of Japanese contactless prepaid cards (transit IC cards,\n"
           "Edy, nanaco, WAON) from a FeliCa reader/writer, keeps every card's history\n"
           "in a database file of its own, and shows the history, the totals per month\n"
           "and the balances of all stored cards in one window. While the window is open\n"
           "it polls the reader/writer once a second; a card laid on it is read, shown\n"
           "and stored. Nothing is ever written to a card.\n"
           "\n"
           "Exit status:\n"
           "  0  the window was closed\n"
           "  1  the window could not be opened" +
           system.cannotOpen +
           "  2  wrong command line: -h, --help or --version with anything else\n"
           "\n"
           "Options:\n"
           "  -h, --help  print this help and exit\n"
           "  --version   print the version and exit\n" +
           system.options +
           "\n"
           "Environment:\n" +
           felica::readerEnvironmentHelp() + dataFolderEnvironmentHelp + system.environment +
           "\n"
           "Files:\n"
           "  DATA/RirekiDB/*.DB     the card files, one per card: every transaction read\n"
           "  DATA/Station.DB        the station and bus-stop names of transit histories\n"
           "                         (built by tovani-import-stations)\n"
           "  DATA/TovaniViewer.ini  the window's place and size, saved at close\n" +
           bridgeLibraryHelpLine(25) + "\n" + dataFolderHelp;
}

}  // namespace tovani::shell
