// tovani-import-stations [FOLDER]
//
// Builds Station.DB in FOLDER (default: the folder of this program) from the
// StationCode.csv and irucabus.csv lying there, exactly as the window's CSV
// command does, and prints the messages the window would show in boxes.
// Exit status: 0 when everything was imported, 1 when the import failed,
// 2 for a wrong command line.

#include <cstdio>
#include <string>
#include <vector>

#include "names/station_import.h"
#include "store/db_files.h"

namespace {

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
    if (argc > 2 || (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help"))) {
        std::fprintf(stderr, "usage: tovani-import-stations [FOLDER]\n"
                             "Builds FOLDER/Station.DB from FOLDER/StationCode.csv and FOLDER/irucabus.csv\n"
                             "(FOLDER defaults to the folder of this program).\n");
        return 2;
    }
    const std::string folder = argc == 2 ? std::string(argv[1]) : tovani::programFolder();
    if (!tovani::folderExists(folder)) {
        std::fprintf(stderr, "tovani-import-stations: %s is not a folder\n", folder.c_str());
        return 2;
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
