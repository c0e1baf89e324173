#include "reader_support.h"

#include <cstdlib>
#include <filesystem>

#include "support/system.h"

namespace tovani::test {

namespace fs = std::filesystem;

VirtualReaderFixture::VirtualReaderFixture() {
    setEnvironment("FELICA_VIRTUAL_READER", readerDir.str());
}

VirtualReaderFixture::~VirtualReaderFixture() { unsetEnvironment("FELICA_VIRTUAL_READER"); }

void VirtualReaderFixture::lay(const felica::CardImage& c) { layText(felica::cardImageToJson(c)); }

void VirtualReaderFixture::layText(const std::string& json) { writeFile(readerDir / "card.json", json); }

void VirtualReaderFixture::laySample(const std::string& name) {
    layText(readFile(fs::path(TOVANI_SOURCE_DIR) / "samples/cards" / name));
}

void VirtualReaderFixture::lift() { fs::remove(readerDir / "card.json"); }
void VirtualReaderFixture::unplug() { writeFile(readerDir / "unplugged", ""); }
void VirtualReaderFixture::plugIn() { fs::remove(readerDir / "unplugged"); }

std::array<uint8_t, 8> idmBytes(uint64_t idm) {
    std::array<uint8_t, 8> b{};
    for (int i = 7; i >= 0; --i, idm >>= 8) b[static_cast<size_t>(i)] = static_cast<uint8_t>(idm & 0xFF);
    return b;
}

felica::ServiceImage service(uint16_t code, std::vector<felica::Block> blocks) { return {code, std::move(blocks)}; }

felica::SystemImage system(uint16_t systemCode, uint64_t idm, std::vector<felica::ServiceImage> services) {
    felica::SystemImage s;
    s.systemCode = {static_cast<uint8_t>(systemCode >> 8), static_cast<uint8_t>(systemCode & 0xFF)};
    s.idm = idmBytes(idm);
    s.services = std::move(services);
    return s;
}

felica::CardImage card(std::vector<felica::SystemImage> systems) {
    felica::CardImage c;
    c.systems = std::move(systems);
    return c;
}

felica::Block transitBlock(uint8_t kind, int day, int balance, int serial) {
    felica::Block b{};
    b[0] = 0x16;
    b[1] = kind;
    const int date = (15 << 9) | (3 << 5) | day;
    b[4] = static_cast<uint8_t>(date >> 8);
    b[5] = static_cast<uint8_t>(date & 0xFF);
    b[10] = static_cast<uint8_t>(balance & 0xFF);
    b[11] = static_cast<uint8_t>(balance >> 8);
    b[13] = static_cast<uint8_t>(serial >> 8);
    b[14] = static_cast<uint8_t>(serial & 0xFF);
    return b;
}

std::vector<felica::Block> transitHistory(int count, int newest, int balanceNewest) {
    std::vector<felica::Block> blocks;
    for (int i = 0; i < count; ++i) blocks.push_back(transitBlock(0x01, 1 + i % 28, balanceNewest + 100 * i, newest - i));
    return blocks;
}

felica::Block edyBlock(uint8_t kind, int serial, int amount, int balance) {
    felica::Block b{};
    b[0] = kind;
    b[2] = static_cast<uint8_t>(serial >> 8);
    b[3] = static_cast<uint8_t>(serial & 0xFF);
    const uint32_t when = (5413u << 17) | 36893u;  // 2014-10-27 10:14:53
    for (int i = 0; i < 4; ++i) {
        b[static_cast<size_t>(4 + i)] = static_cast<uint8_t>(when >> (24 - 8 * i));
        b[static_cast<size_t>(8 + i)] = static_cast<uint8_t>(static_cast<uint32_t>(amount) >> (24 - 8 * i));
        b[static_cast<size_t>(12 + i)] = static_cast<uint8_t>(static_cast<uint32_t>(balance) >> (24 - 8 * i));
    }
    return b;
}

}  // namespace tovani::test
