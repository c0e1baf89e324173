#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/felica/felica.h"
#include "platform/felica/virtual_reader.h"
#include "support/system.h"
#include "support/temp_dir.h"

namespace tovani::felica {
namespace {

using test::TempDir;
using test::writeFile;

const char* const kTransitCard = R"({
  "systems": [
    {"system_code": "FE00", "idm": "0101010101010101", "services": []},
    {"system_code": "0003", "idm": "0102030405060708",
     "services": [{"code": "090F", "blocks": [
       "0123456789ABCDEF0123456789ABCDEF", "00000000000000000000000000000001",
       "00000000000000000000000000000002"]}]}
  ]})";

class FelicaLibraryTest : public ::testing::Test {
protected:
    FelicaLibraryTest() : lib_([this] { return std::make_unique<VirtualReader>(dir_.str()); }) {}

    void open() {
        ASSERT_TRUE(initialize_library(lib_));
        ASSERT_TRUE(open_reader_writer_auto(lib_));
    }
    int32_t error() const {
        int32_t e1 = 0, e2 = 0;
        get_last_error_types(lib_, e1, e2);
        return e1;
    }
    bool poll(const std::array<uint8_t, 2>& system, Idm& idm) {
        Pmm pmm{};
        uint8_t n = 0;
        card_information info{idm, pmm};
        return polling_and_get_card_information(lib_, polling{system, 0}, n, info);
    }

    TempDir dir_;
    FelicaLibrary lib_;
};

TEST_F(FelicaLibraryTest, ConnectionLifecycleAndItsErrors) {
    uint8_t out = 0;
    EXPECT_FALSE(open_reader_writer_auto(lib_));
    EXPECT_EQ(error(), ErrorNotInitialized);
    ASSERT_TRUE(initialize_library(lib_));
    EXPECT_FALSE(initialize_library(lib_));
    EXPECT_EQ(error(), ErrorAlreadyInitialized);
    EXPECT_FALSE(reader_writer_is_open(lib_, out));
    EXPECT_EQ(error(), ErrorNotOpen);
    ASSERT_TRUE(open_reader_writer_auto(lib_));
    EXPECT_FALSE(open_reader_writer_auto(lib_));
    EXPECT_EQ(error(), ErrorAlreadyOpen);
    EXPECT_TRUE(reader_writer_is_alive(lib_, out));
    EXPECT_EQ(out, 1);
    EXPECT_TRUE(reader_writer_is_open(lib_, out));

    writeFile(dir_ / "unplugged", "");
    EXPECT_FALSE(reader_writer_is_alive(lib_, out));
    EXPECT_EQ(error(), ErrorReaderNotAnswering);
    Idm idm{};
    EXPECT_FALSE(poll({0xFF, 0xFF}, idm));
    EXPECT_EQ(error(), ErrorReaderNotAnswering);  // a dead reader is not "no card"

    EXPECT_TRUE(close_reader_writer(lib_));
    EXPECT_FALSE(close_reader_writer(lib_));
    EXPECT_EQ(error(), ErrorNotOpen);
    EXPECT_TRUE(dispose_library(lib_));
    EXPECT_FALSE(dispose_library(lib_));
    EXPECT_EQ(error(), ErrorNotInitialized);
}

TEST(FelicaLibraryOpen, MissingFolderMeansNoReaderWriter) {
    FelicaLibrary lib([] { return std::make_unique<VirtualReader>("/nonexistent/felica-reader"); });
    ASSERT_TRUE(initialize_library(lib));
    EXPECT_FALSE(open_reader_writer_auto(lib));
    int32_t e1 = 0, e2 = 0;
    get_last_error_types(lib, e1, e2);
    EXPECT_EQ(e1, ErrorNoReaderWriter);
}

TEST(FelicaLibraryOpen, EnvironmentChoosesTheVirtualReader) {
    TempDir dir;
    tovani::test::setEnvironment("FELICA_VIRTUAL_READER", dir.str());
    FelicaLibrary lib;
    ASSERT_TRUE(initialize_library(lib));
    EXPECT_TRUE(open_reader_writer_auto(lib));
    tovani::test::unsetEnvironment("FELICA_VIRTUAL_READER");
}

TEST_F(FelicaLibraryTest, PollingAndListsFollowTheCardOnTheReader) {
    open();
    Idm idm{};
    EXPECT_FALSE(poll({0xFF, 0xFF}, idm));
    EXPECT_EQ(error(), ErrorPolling);

    writeFile(dir_ / "card.json", kTransitCard);
    std::array<uint8_t, 256> systems{};
    Pmm pmm{};
    card_information info{idm, pmm};
    output_request_system_code sys{0, systems};
    uint8_t n = 0;
    const std::array<uint8_t, 2> any{0xFF, 0xFF};
    ASSERT_TRUE(polling_and_request_system_code(lib_, polling{any, 0}, n, info, sys));
    EXPECT_EQ(sys.number_of_system_codes, 2);
    EXPECT_EQ(systems[0], 0xFE);
    EXPECT_EQ(systems[3], 0x03);
    EXPECT_EQ(idm[7], 0x01);

    // A list too small for the card's codes is refused, not overrun.
    std::array<uint8_t, 3> small{};
    output_request_system_code tooSmall{0, small};
    EXPECT_FALSE(polling_and_request_system_code(lib_, polling{any, 0}, n, info, tooSmall));
    EXPECT_EQ(error(), ErrorSystemCodeList);
    EXPECT_EQ(tooSmall.number_of_system_codes, 0);

    const std::array<uint8_t, 2> transit{0x00, 0x03};
    std::array<uint8_t, 510> services{}, areas{}, ends{};
    output_search_service_code svc{0, services, 0, areas, ends};
    ASSERT_TRUE(polling_and_search_service_code(lib_, polling{transit, 0}, {}, info, svc));
    EXPECT_EQ(idm[7], 0x08);
    EXPECT_EQ(svc.number_of_service_codes, 1);
    EXPECT_EQ(services[0], 0x0F);
    EXPECT_EQ(services[1], 0x09);
    EXPECT_EQ(svc.number_of_area_codes, 1);
    EXPECT_EQ(ends[0], 0xFE);

    // Swapping the file swaps the card at the next polling.
    writeFile(dir_ / "card.json", R"({"systems": [{"system_code": "88B4", "idm": "0909090909090909"}]})");
    ASSERT_TRUE(poll({0xFF, 0xFF}, idm));
    EXPECT_EQ(idm[0], 0x09);
    EXPECT_FALSE(poll({0xFE, 0x00}, idm));
    EXPECT_EQ(error(), ErrorPolling);
}

TEST_F(FelicaLibraryTest, ReadsBlocksOfThePolledCard) {
    open();
    writeFile(dir_ / "card.json", kTransitCard);
    std::array<uint8_t, 320> data{};
    const uint8_t service[] = {0x0F, 0x09};
    std::array<uint8_t, 40> blocks{};
    for (uint8_t b = 0; b < 20; ++b) blocks[2 * b] = 0x80, blocks[2 * b + 1] = b;
    Idm idm{};
    input_read_block_without_encryption in{idm, 1, service, 20, blocks};
    output_read_block_without_encryption out{};
    out.block_data = data;

    EXPECT_FALSE(read_block_without_encryption(lib_, in, out));
    EXPECT_EQ(error(), ErrorNotPolled);

    ASSERT_TRUE(poll({0x00, 0x03}, idm));
    ASSERT_TRUE(read_block_without_encryption(lib_, in, out));
    EXPECT_EQ(out.result_number_of_blocks, 3);  // the service holds three
    EXPECT_EQ(data[0], 0x01);
    EXPECT_EQ(data[47], 0x02);

    Idm other = idm;
    other[0] ^= 0xFF;
    input_read_block_without_encryption wrongCard{other, 1, service, 20, blocks};
    EXPECT_FALSE(read_block_without_encryption(lib_, wrongCard, out));
    EXPECT_EQ(error(), ErrorIdmMismatch);

    // Counts larger than the caller's buffers are refused before any read.
    input_read_block_without_encryption tooMany{idm, 1, service, 21, blocks};
    EXPECT_FALSE(read_block_without_encryption(lib_, tooMany, out));
    EXPECT_EQ(error(), ErrorInvalidArgument);
    output_read_block_without_encryption smallOut{};
    smallOut.block_data = std::span<uint8_t>(data).first(16);
    EXPECT_FALSE(read_block_without_encryption(lib_, in, smallOut));
    EXPECT_EQ(error(), ErrorInvalidArgument);

    const uint8_t noService[] = {0x8B, 0x00};
    input_read_block_without_encryption missing{idm, 1, noService, 1, blocks};
    EXPECT_FALSE(read_block_without_encryption(lib_, missing, out));
    EXPECT_EQ(error(), ErrorReadRefused);
    EXPECT_EQ(out.status_flag_2, 0xA6);
}

TEST_F(FelicaLibraryTest, MalformedImageIsReportedOnceAndIsNoCard) {
    open();
    writeFile(dir_ / "card.json", R"({"systems": [{"system_code": "0003", "idm": "01020304"}]})");
    Idm idm{};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(poll({0xFF, 0xFF}, idm));
    EXPECT_EQ(error(), ErrorPolling);
    EXPECT_FALSE(poll({0xFF, 0xFF}, idm));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(dir_.str() + "/card.json"), std::string::npos) << err;
    EXPECT_NE(err.find("idm: not 16 hex digits"), std::string::npos) << err;
    EXPECT_EQ(err.find("idm", err.find("idm") + 3), std::string::npos) << "reported twice: " << err;

    writeFile(dir_ / "card.json", "{ broken");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(poll({0xFF, 0xFF}, idm));
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("not valid JSON"), std::string::npos) << err;
}

}  // namespace
}  // namespace tovani::felica
