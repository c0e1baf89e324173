#pragma once

// The reader/writer library: initialise it, open and close the reader/writer,
// poll for cards, list their systems and services, and read blocks without
// encryption. Every operation answers with a success flag; a failure leaves
// its two error values for get_last_error_types. The library's state is a
// FelicaLibrary object owned by whoever holds the connection.
//
// Buffers are passed as spans over memory the caller owns for the length of
// the call. Every count the library writes is checked against the buffer it
// describes: a card or reader that announces more than fits is a failure,
// never a write past the end.

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/felica/felica_errors.h"
#include "platform/felica/felica_frames.h"
#include "platform/felica/felica_transport.h"

namespace tovani::felica {

struct polling {
    std::span<const uint8_t> system_code;  // 2 bytes as sent; FF FF = any system
    uint8_t time_slot = 0;
};

struct card_information {
    std::span<uint8_t> card_idm;  // 8 bytes
    std::span<uint8_t> card_pmm;  // 8 bytes
};

struct output_request_system_code {
    uint8_t number_of_system_codes = 0;
    std::span<uint8_t> system_code_list;  // 2 bytes per system code
};

struct input_search_service_code {
    int32_t max_area_codes = 255;
    int32_t max_service_codes = 255;
    int32_t start_index = 0;
};

struct output_search_service_code {
    int32_t number_of_service_codes = 0;
    std::span<uint8_t> service_code_list;  // 2 bytes per service code, low byte first
    int32_t number_of_area_codes = 0;
    std::span<uint8_t> area_code_list;         // 2 bytes per area code, low byte first
    std::span<uint8_t> end_service_code_list;  // 2 bytes per area, low byte first
};

struct input_read_block_without_encryption {
    std::span<const uint8_t> card_idm;  // 8 bytes, the IDm of the polled card
    uint8_t number_of_services = 1;
    std::span<const uint8_t> service_code_list;  // 2 bytes per service, low byte first
    uint8_t number_of_blocks = 0;
    std::span<const uint8_t> block_list;  // 2 bytes per block: 0x80 | service index, block number
};

struct output_read_block_without_encryption {
    uint8_t status_flag_1 = 0;
    uint8_t status_flag_2 = 0;
    uint8_t result_number_of_blocks = 0;
    std::span<uint8_t> block_data;  // 16 bytes per block, in block-list order
};

// The library's state. Only the operations below change it.
struct FelicaLibrary {
    using TransportFactory = std::function<std::unique_ptr<Transport>()>;

    // By default the transport the environment names (see makeDefaultTransport).
    FelicaLibrary();
    explicit FelicaLibrary(TransportFactory factory);
    ~FelicaLibrary();
    FelicaLibrary(FelicaLibrary&&) noexcept;
    FelicaLibrary& operator=(FelicaLibrary&&) noexcept;

    // What the last failure was about, in words (for messages; empty if none).
    const std::string& lastErrorReason() const { return reason; }
    // Records a failure's two error values and reason; answers false.
    bool fail(int32_t errorType, int32_t errorType2, std::string why);

    TransportFactory factory;
    std::unique_ptr<Transport> transport;  // set while the reader/writer is open
    bool initialized = false;
    bool opened = false;
    std::optional<Idm> polledIdm;  // the card of the last successful polling
    // FeliCa command codes the open reader/writer refused to carry: later
    // reads go straight to their stand-ins.
    std::bitset<256> refusedCommands;
    int32_t error1 = ErrorNone;
    int32_t error2 = 0;
    std::string reason;
};

bool initialize_library(FelicaLibrary& lib);
bool dispose_library(FelicaLibrary& lib);
bool open_reader_writer_auto(FelicaLibrary& lib);
bool close_reader_writer(FelicaLibrary& lib);
bool reader_writer_is_alive(FelicaLibrary& lib, uint8_t& alive);
bool reader_writer_is_open(FelicaLibrary& lib, uint8_t& open);
bool get_last_error_types(const FelicaLibrary& lib, int32_t& errorType, int32_t& errorType2);

// Polls for `p.system_code`, then asks the card for all its system codes.
bool polling_and_request_system_code(FelicaLibrary& lib, const polling& p, uint8_t& number_of_cards,
                                     card_information& info, output_request_system_code& out);
bool polling_and_get_card_information(FelicaLibrary& lib, const polling& p, uint8_t& number_of_cards,
                                      card_information& info);
bool polling_and_search_service_code(FelicaLibrary& lib, const polling& p, const input_search_service_code& in,
                                     card_information& info, output_search_service_code& out);
// Reads the listed blocks of one service of the card polled last. A card
// that refuses blocks past the end of the service yields the blocks before
// them (result_number_of_blocks tells how many); none at all is a failure.
bool read_block_without_encryption(FelicaLibrary& lib, const input_read_block_without_encryption& in,
                                   output_read_block_without_encryption& out);

}  // namespace tovani::felica
