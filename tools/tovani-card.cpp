// tovani-card: the card on the reader/writer from the command line; what it
// does is in its --help text below.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "database/db_access.h"
#include "database/file_system.h"
#include "platform/felica/card_image.h"
#include "platform/felica/reader_choice.h"
#include "platform/felica/reader_help.h"
#include "platform/os/paths.h"
#include "reader/reader.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "tools/command_line.h"

namespace {

using namespace tovani;
using namespace tovani::felica;

constexpr int ExitNoCard = 1;
constexpr int ExitUsage = 2;
constexpr int ExitReader = 3;
constexpr int ExitNotSupported = 4;
constexpr int ExitStore = 5;
constexpr int ExitEntriesWaiting = 6;

constexpr const char* kSynopsis =
    "Usage: tovani-card read [--program-dir DIR]\n"
    "  or:  tovani-card dump [FILE]\n"
    "  or:  tovani-card readers\n"
    "  or:  tovani-card -h | --help | --version\n";

std::string helpText() {
    return std::string(kSynopsis) +
           "\n"
           "Reads the Japanese contactless prepaid card (transit IC card, Edy, nanaco,\n"
           "WAON) lying on a FeliCa reader/writer with the same reader and files as the\n"
           "Tovani Viewer window. Nothing is ever written to the card.\n"
           "\n"
           "Commands:\n"
           "  read     reads the card as one polling tick of the window does, stores its\n"
           "           history in the card's file under DATA/RirekiDB and prints the read\n"
           "           state, the card number and the stored history\n"
           "  dump     writes the card out as a card image (JSON): its systems and, for\n"
           "           each, the history and card-information services the program\n"
           "           reads with all their blocks; to FILE, or to standard output\n"
           "  readers  lists every reader/writer it finds, one a line: the value of\n"
           "           TOVANI_READER that chooses it, its name, whether it answers, its\n"
           "           route (how FeliCa frames reach the card), a note\n"
           "\n"
           "Exit status:\n"
           "  0  done; for readers: a reader/writer answers\n"
           "  1  no card on the reader/writer\n"
           "  2  wrong command line\n"
           "  3  no reader/writer, or a reader/writer failure; for readers: none answers\n"
           "  4  a card the program does not read\n"
           "  5  the card image or the card's file could not be written or read, or the\n"
           "     data folder cannot be used\n"
           "  6  read and stored, but entries whose amount needs the card's stored history\n"
           "     were left out: its file was busy; the next read stores them\n"
           "\n"
           "Options:\n"
           "  --program-dir DIR  keep the card files in DIR/RirekiDB instead of the data\n"
           "                     folder\n"
           "  -h, --help         print this help and exit\n"
           "  --version          print the version and exit\n"
           "\n"
           "Environment:\n" +
           felica::readerEnvironmentHelp() + dataFolderEnvironmentHelp +
           "\n"
           "Files:\n"
           "  DATA/RirekiDB/*.DB     the card files, one per card, shared with the window\n" +
           bridgeLibraryHelpLine(25) +
           "\n" +
           dataFolderHelp;
}

int usage() {
    std::fprintf(stderr, "%sTry 'tovani-card --help' for more information.\n", kSynopsis);
    return ExitUsage;
}

// "1036 ポーリングに失敗しました (no card)" and the like.
std::string errorText(const ReaderState& reader) {
    std::string s = std::to_string(reader.LastErrorType);
    if (auto text = errorMessageText(reader, reader.LastErrorType); text && !text->empty()) s += " " + *text;
    const std::string& why = reader.Library.lastErrorReason();
    if (!why.empty()) s += " (" + why + ")";
    return s;
}

int readerFailure(ReaderState& reader, const char* what) {
    get_last_error_types(reader.Library, reader.LastErrorType, reader.LastErrorType2);
    const bool noCard = reader.LastErrorType == ErrorTypeNoCard;
    std::fprintf(stderr, "tovani-card: %s: %s\n", noCard ? "no card on the reader/writer" : what,
                 errorText(reader).c_str());
    closeReader(reader);
    return noCard ? ExitNoCard : ExitReader;
}

bool open(ReaderState& reader) {
    initErrorMessages(reader);
    if (openReader(reader)) return true;
    std::fprintf(stderr, "tovani-card: no reader/writer: %s\n", errorText(reader).c_str());
    return false;
}

// All blocks of one service of the card polled last, twenty per call until
// the card has no more. False only when the reader/writer or card failed.
bool readAllBlocks(ReaderState& reader, const Idm& idm, uint16_t code, std::vector<Block>& blocks) {
    const std::array<uint8_t, 2> service{static_cast<uint8_t>(code & 0xFF), static_cast<uint8_t>(code >> 8)};
    for (unsigned start = 0; start <= 0xFF; start += 20) {
        const unsigned count = std::min(20u, 0x100 - start);
        std::array<uint8_t, 40> list{};
        for (unsigned i = 0; i < count; ++i) {
            list[2 * i] = 0x80;
            list[2 * i + 1] = static_cast<uint8_t>(start + i);
        }
        std::array<uint8_t, 320> data{};
        input_read_block_without_encryption in{idm, 1, service, static_cast<uint8_t>(count), list};
        output_read_block_without_encryption out{};
        out.block_data = data;
        if (!read_block_without_encryption(reader.Library, in, out)) {
            int32_t e1 = 0, e2 = 0;
            get_last_error_types(reader.Library, e1, e2);
            // The card refusing (status flags set) the first block of a
            // round: the service ends there. A card that stopped answering
            // has no status flags and fails the dump.
            return e1 == ErrorReadRefused && e2 != 0;
        }
        for (unsigned b = 0; b < out.result_number_of_blocks; ++b) {
            Block block;
            std::copy_n(data.begin() + 16 * b, 16, block.begin());
            blocks.push_back(block);
        }
        if (out.result_number_of_blocks < count) break;
    }
    return true;
}

int dump(const char* file) {
    ReaderState reader;
    if (!open(reader)) return ExitReader;
    FelicaLibrary& lib = reader.Library;

    std::array<uint8_t, 2> systemCode{0xFF, 0xFF};
    Idm idm{};
    Pmm pmm{};
    std::array<uint8_t, 256> systemList{};
    card_information info{idm, pmm};
    output_request_system_code systems{0, systemList};
    uint8_t cards = 0;
    if (!polling_and_request_system_code(lib, polling{systemCode, 0}, cards, info, systems))
        return readerFailure(reader, "the card's systems could not be listed");

    CardImage image;
    image.pmm = pmm;
    image.comment = "written by tovani-card dump";
    for (size_t s = 0; s < systems.number_of_system_codes; ++s) {
        systemCode = {systemList[2 * s], systemList[2 * s + 1]};
        SystemImage system;
        system.systemCode = systemCode;
        std::array<uint8_t, 510> serviceList{}, areas{}, ends{};
        output_search_service_code found{0, serviceList, 0, areas, ends};
        if (!polling_and_search_service_code(lib, polling{systemCode, 0}, {}, info, found))
            return readerFailure(reader, "the card's services could not be listed");
        system.idm = idm;
        const std::vector<uint16_t> wanted = servicesRead(systemCode);
        for (int i = 0; i < found.number_of_service_codes; ++i) {
            const uint16_t code = static_cast<uint16_t>(serviceList[2 * i] | (serviceList[2 * i + 1] << 8));
            if (std::find(wanted.begin(), wanted.end(), code) == wanted.end()) continue;
            ServiceImage service{code, {}};
            if (!readAllBlocks(reader, idm, code, service.blocks))
                return readerFailure(reader, "the card's blocks could not be read");
            system.services.push_back(std::move(service));
        }
        image.systems.push_back(std::move(system));
    }
    closeReader(reader);

    const std::string json = cardImageToJson(image);
    if (!file) {
        // A full disk or a closed pipe shows only in the write or the flush.
        if (std::fputs(json.c_str(), stdout) == EOF || std::fflush(stdout) != 0) {
            std::fprintf(stderr, "tovani-card: the card image could not be written to standard output: %s\n",
                         std::strerror(errno));
            return ExitStore;
        }
        return 0;
    }
    std::ofstream out(os::osPath(file), std::ios::binary | std::ios::trunc);
    out << json;
    out.close();
    if (!out) {
        std::fprintf(stderr, "tovani-card: %s could not be written\n", file);
        return ExitStore;
    }
    return 0;
}

// Collects the rows of a query as texts.
int collectRow(void* user, int columnCount, char** values, char**) {
    auto* rows = static_cast<std::vector<std::vector<std::string>>*>(user);
    std::vector<std::string> row;
    for (int i = 0; i < columnCount; ++i) row.push_back(values[i] ? values[i] : "NULL");
    rows->push_back(std::move(row));
    return 0;
}

int printStoredHistory(const std::string& path, const std::string& shownPath) {
    DbFile db;
    std::vector<std::vector<std::string>> rows;
    if (!db.open(path, bridge::OpenReadOnly) ||
        !db.exec("SELECT * FROM Rireki ORDER BY TorihikiTsuuban DESC;", collectRow, &rows)) {
        std::fprintf(stderr, "tovani-card: %s could not be read: %s\n", path.c_str(), db.errmsg().c_str());
        return ExitStore;
    }
    std::printf("Stored history in %s: %zu entries\n", shownPath.c_str(), rows.size());
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) std::printf(i ? "\t%s" : "%s", row[i].c_str());
        std::printf("\n");
    }
    return 0;
}

int read(const std::string& programDir) {
    // Checked before the reader is opened: a card that cannot be stored is
    // not worth reading here.
    if (const std::string error = programFolderError(); !error.empty()) {
        std::fprintf(stderr, "tovani-card: %s\n", error.c_str());
        return ExitStore;
    }
    if (const std::string error = prepareDataFolder(programDir, rirekiFolder(programDir)); !error.empty()) {
        std::fprintf(stderr, "tovani-card: %s\n", error.c_str());
        return ExitStore;
    }
    ReaderState reader;
    if (!open(reader)) return ExitReader;
    CardReadResults card;
    const ReadState state = readCard(reader, card, storedRirekiLookup(programDir));
    std::printf("%s\n", readStateName(state));
    switch (state) {
    case ReadStateRead:
        break;
    case ReadStateNoCard:
        std::fprintf(stderr, "tovani-card: no card on the reader/writer\n");
        closeReader(reader);
        return ExitNoCard;
    case ReadStateNotSupported:
        std::fprintf(stderr, "tovani-card: the card is not one the program reads\n");
        closeReader(reader);
        return ExitNotSupported;
    case ReadStateError:
        std::fprintf(stderr, "tovani-card: the reader/writer failed: %s\n", errorText(reader).c_str());
        return ExitReader;  // readCard has closed the connection
    case ReadStateSameCard:
        closeReader(reader);
        return 0;
    }
    closeReader(reader);

    std::printf("CardKind %d\nCardID %s\nHakkouYmd %d\n", card.CardKind, card.CardID.c_str(), card.HakkouYmd);
    const std::string folder = rirekiFolder(programDir);
    if (!folderExists(folder) && !createFolder(folder)) {
        std::fprintf(stderr, "tovani-card: the folder %s could not be made\n", folder.c_str());
        return ExitStore;
    }
    const std::string path = cardDbPath(programDir, card.CardKind, card.CardID);
    std::string DBErrorMessage;
    const StoreResult stored = insertRirekiDB(path, card, DBErrorMessage);
    if (!stored) {
        std::fprintf(stderr, "tovani-card: the card could not be stored: %s\n", DBErrorMessage.c_str());
        return ExitStore;
    }
    const auto waiting = [&](int status) {
        if (status != 0 || stored.waiting == 0) return status;
        std::fprintf(stderr, "tovani-card: %d %s not stored by this read; the next read stores %s\n",
                     stored.waiting, stored.waiting == 1 ? "entry is" : "entries are",
                     stored.waiting == 1 ? "it" : "them");
        return ExitEntriesWaiting;
    };
    // A card without an entry to store gets no file (an empty one would
    // break the balance overview).
    if (!fileExists(path)) {
        std::printf("No history to store: %s not made\n", path.substr(programDir.size() + 1).c_str());
        return waiting(0);
    }
    return waiting(printStoredHistory(path, path.substr(programDir.size() + 1)));
}

int readers() {
    std::vector<std::string> problems;
    const std::vector<FoundReader> found = findReaders(problems);
    bool anyAnswers = false;
    for (const FoundReader& r : found) {
        std::printf("%s\t%s\t%s\t%s%s%s\n", r.path.c_str(), r.name.empty() ? "-" : r.name.c_str(),
                    r.answers ? "answers" : "does not answer", r.route.empty() ? "-" : r.route.c_str(),
                    r.note.empty() ? "" : "\t", r.note.c_str());
        anyAnswers = anyAnswers || r.answers;
    }
    for (const std::string& p : problems) std::fprintf(stderr, "tovani-card: %s\n", p.c_str());
    if (found.empty()) std::fprintf(stderr, "tovani-card: no reader/writer found\n");
    return anyAnswers ? 0 : ExitReader;
}

}  // namespace

int main(int argc, char** argv) {
    const Utf8CommandLine utf8(argc, argv);
    switch (commonOption(argc, argv)) {
    case CommonOption::Help:
        std::fputs(helpText().c_str(), stdout);
        return 0;
    case CommonOption::Version:
        std::printf("tovani-card %s\n", TOVANI_VERSION);
        return 0;
    case CommonOption::Misused:
        return usage();
    case CommonOption::None:
        break;
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage();
    if (args[0] == "dump" && args.size() <= 2) return dump(args.size() == 2 ? argv[2] : nullptr);
    if (args[0] == "read" && args.size() == 1) return read(dataFolder());
    if (args[0] == "readers" && args.size() == 1) return readers();
    if (args[0] == "read" && args.size() == 3 && args[1] == "--program-dir") {
        if (!folderExists(args[2])) {
            std::fprintf(stderr, "tovani-card: %s is not a folder\n", args[2].c_str());
            return ExitUsage;
        }
        return read(args[2]);
    }
    return usage();
}
