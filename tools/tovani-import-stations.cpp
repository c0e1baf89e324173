// tovani-import-stations: Station.DB from the two station lists, from the
// command line; what it does is in its --help text below.

#include <cstdio>
#include <string>
#include <vector>

#include "database/file_system.h"
#include "names/station_import.h"
#include "store/db_files.h"
#include "tools/command_line.h"

namespace {

constexpr const char* kSynopsis =
    "Usage: tovani-import-stations [FOLDER]\n"
    "  or:  tovani-import-stations -h | --help | --version\n";

std::string helpText() {
    return std::string(kSynopsis) +
           "\n"
           "Builds Station.DB, the station and bus-stop names Tovani Viewer shows in\n"
           "transit histories, from the lists StationCode.csv and irucabus.csv\n"
           "(Shift_JIS) lying in FOLDER, exactly as the window's CSV command does, and\n"
           "prints the messages the window would show in boxes. FOLDER defaults to the\n"
           "data folder DATA.\n"
           "\n"
           "Exit status:\n"
           "  0  everything was imported\n"
           "  1  the import failed, or the data folder cannot be used\n"
           "  2  wrong command line\n"
           "\n"
           "Options:\n"
           "  -h, --help  print this help and exit\n"
           "  --version   print the version and exit\n"
           "\n"
           "Environment:\n" +
           std::string(tovani::dataFolderEnvironmentHelp) +
           "\n"
           "Files:\n"
           "  FOLDER/StationCode.csv  the station list, read\n"
           "  FOLDER/irucabus.csv     the bus-stop list, read\n"
           "  FOLDER/Station.DB       the names, added to (a code already there fails\n"
           "                          the import)\n" +
           tovani::bridgeLibraryHelpLine(26) +
           "\n" +
           tovani::dataFolderHelp;
}

class PrintedMessages : public tovani::MessageSink {
public:
    void showMessage(const std::string& text) override {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
        shown.push_back(text);
    }
    std::vector<std::string> shown;
};

}  // namespace

int main(int argc, char** argv) {
    const tovani::Utf8CommandLine utf8(argc, argv);
    const std::string arg = argc == 2 ? argv[1] : "";
    const tovani::CommonOption option = tovani::commonOption(argc, argv);
    if (option == tovani::CommonOption::Help) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    if (option == tovani::CommonOption::Version) {
        std::printf("tovani-import-stations %s\n", TOVANI_VERSION);
        return 0;
    }
    if (option == tovani::CommonOption::Misused || argc > 2 || arg.starts_with("--")) {
        std::fprintf(stderr, "%sTry 'tovani-import-stations --help' for more information.\n", kSynopsis);
        return 2;
    }
    if (const std::string error = tovani::programFolderError(); !error.empty()) {
        std::fprintf(stderr, "tovani-import-stations: %s\n", error.c_str());
        return 1;
    }
    const std::string folder = argc == 2 ? arg : tovani::dataFolder();
    if (argc == 2 && !tovani::folderExists(folder)) {
        std::fprintf(stderr, "tovani-import-stations: %s is not a folder\n", folder.c_str());
        return 2;
    }
    if (const std::string error = tovani::prepareDataFolder(folder); !error.empty()) {
        std::fprintf(stderr, "tovani-import-stations: %s\n", error.c_str());
        return 1;
    }

    PrintedMessages messages;
    std::string DBErrorMessage;
    if (tovani::CSVtoDB(folder, messages, DBErrorMessage)) return 0;

    // An open or table failure shows no box of its own; say here what went wrong.
    bool shown = false;
    for (const std::string& text : messages.shown) shown = shown || text == DBErrorMessage;
    if (!shown) std::fprintf(stderr, "%s\n", DBErrorMessage.c_str());
    return 1;
}
