#pragma once

// A virtual reader in a temporary folder for the reader tests: cards are
// laid on it by writing card.json and lifted by removing it.

#include <cstdint>
#include <string>
#include <vector>

#include "cards/card_data.h"
#include "platform/felica/card_image.h"
#include "reader/reader.h"
#include "support/temp_dir.h"

namespace tovani::test {

class VirtualReaderFixture {
public:
    VirtualReaderFixture();
    ~VirtualReaderFixture();

    void lay(const felica::CardImage& card);
    void layText(const std::string& json);
    void laySample(const std::string& name);  // a file of samples/cards
    void lift();
    void unplug();
    void plugIn();

    TempDir readerDir;
    TempDir programDir;
};

// Card images built in code.
felica::ServiceImage service(uint16_t code, std::vector<felica::Block> blocks = {});
felica::SystemImage system(uint16_t systemCode, uint64_t idm, std::vector<felica::ServiceImage> services);
felica::CardImage card(std::vector<felica::SystemImage> systems);

// A transit history block: kind, date 2015-03-dd, balance, serial.
felica::Block transitBlock(uint8_t kind, int day, int balance, int serial);
// count transit blocks, newest first, serials from `newest` down, each 100 yen paid.
std::vector<felica::Block> transitHistory(int count, int newest, int balanceNewest);
// An Edy history block: kind, serial, amount, balance.
felica::Block edyBlock(uint8_t kind, int serial, int amount, int balance);

std::array<uint8_t, 8> idmBytes(uint64_t idm);

}  // namespace tovani::test
