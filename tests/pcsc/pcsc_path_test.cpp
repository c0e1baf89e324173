// The reader cases over the PC/SC path: a real private pcscd with the vpcd
// driver, our PC/SC card simulator as vpcd's card, and the program's own
// PC/SC transport under the library and readCard.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/felica/pcsc_reader.h"
#include "private_pcscd.h"
#include "reader/reader_support.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "vpcd_card.h"

namespace tovani::test {
namespace {

namespace fs = std::filesystem;

class PcscPath : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!pcscd.start(true, why)) {
            if (why.rfind("another pcscd", 0) == 0) GTEST_SKIP() << why;
            FAIL() << why;
        }
        simulator = std::make_unique<VpcdCard>(readerDir.str(), pcscd.port());
        const std::string name = pcscd.readerName();
        reader.Library = felica::FelicaLibrary([name] { return felica::makePcscTransport({name}); });
        initErrorMessages(reader);
    }
    void TearDown() override {
        closeReader(reader);
        simulator.reset();
        pcscd.stop();
    }

    void laySample(const std::string& name) {
        writeFile(readerDir / "card.json", readFile(fs::path(TOVANI_SOURCE_DIR) / "samples/cards" / name));
        ASSERT_TRUE(pcscd.waitForCard(true)) << pcscd.log();
    }
    void lay(const felica::CardImage& c) {
        writeFile(readerDir / "card.json", felica::cardImageToJson(c));
        ASSERT_TRUE(pcscd.waitForCard(true)) << pcscd.log();
    }
    // Swaps the card without a gap: pcscd sees no change, the next Polling does.
    void swapTo(const std::string& name) {
        writeFile(readerDir / "card.json", readFile(fs::path(TOVANI_SOURCE_DIR) / "samples/cards" / name));
    }
    void lift() {
        fs::remove(readerDir / "card.json");
        ASSERT_TRUE(pcscd.waitForCard(false)) << pcscd.log();
    }
    // A vpcd reader cannot leave a running pcscd: pulling it is pcscd
    // coming back without it, as after a USB reader is pulled.
    void unplug() {
        writeFile(readerDir / "unplugged", "");
        restart(false);
    }
    void plugIn() {
        fs::remove(readerDir / "unplugged");
        restart(true);
    }
    void restart(bool withReader) {
        pcscd.stop();
        std::string why;
        ASSERT_TRUE(pcscd.start(withReader, why)) << why;
    }
    ReadState read() { return readCard(reader, results, storedRirekiLookup(programDir.str())); }

    TempDir readerDir;
    TempDir programDir;
    PrivatePcscd pcscd;
    std::unique_ptr<VpcdCard> simulator;
    ReaderState reader;
    CardReadResults results;
};

TEST_F(PcscPath, CardsLaidLiftedAndSwapped) {
    ASSERT_TRUE(openReader(reader)) << reader.LastErrorType;
    EXPECT_EQ(read(), ReadStateNoCard);
    EXPECT_EQ(reader.LastErrorType, 1036);

    laySample("edy.json");
    ASSERT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardKind, CardKindEdy);
    EXPECT_EQ(results.CardID, "012E-4CD5-00A0-0F72");
    EXPECT_EQ(results.CardRireki[0].Zangaku, 1456);
    EXPECT_EQ(read(), ReadStateSameCard);

    // Stored as a polling tick stores it.
    ASSERT_TRUE(createFolder(rirekiFolder(programDir.str())));
    std::string error;
    EXPECT_TRUE(insertRirekiDB(cardDbPath(programDir.str(), results.CardKind, results.CardID), results, error))
        << error;

    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    EXPECT_TRUE(reader.ReaderWriterOpened);
    laySample("edy.json");
    EXPECT_EQ(read(), ReadStateRead);

    // A second card laid in place of the first.
    swapTo("transit.json");
    ASSERT_EQ(read(), ReadStateRead);
    EXPECT_EQ(results.CardKind, CardKindSF);
    EXPECT_EQ(results.CardID, "0101-0012-3456-789A");
    EXPECT_EQ(results.CardRireki[0].Kingaku, 200);

    // Cards the program does not read.
    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    laySample("unsupported-system.json");
    EXPECT_EQ(read(), ReadStateNotSupported);
    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    laySample("fe00-no-history.json");
    EXPECT_EQ(read(), ReadStateNotSupported);
    EXPECT_EQ(read(), ReadStateSameCard);
}

TEST_F(PcscPath, TwentyTransitBlocksComeInPiecesThatFitTheAnswerBuffer) {
    ASSERT_TRUE(openReader(reader));
    const auto transit = system(0x0003, 0x0101000000000001ULL,
                                {service(0x008B, {felica::Block{}}), service(0x090F, transitHistory(20, 120, 1000))});
    lay(card({transit}));
    ASSERT_EQ(read(), ReadStateRead) << reader.LastErrorType << " " << reader.Library.lastErrorReason();
    for (size_t i = 0; i < 20; ++i) EXPECT_EQ(results.CardRireki[i].TorihikiTsuuban, 120 - static_cast<int>(i)) << i;
    EXPECT_EQ(results.CardRireki[0].Zangaku, 1000);
    EXPECT_EQ(results.CardRireki[18].Kingaku, 100);  // from its older neighbour, read in the second piece
}

TEST_F(PcscPath, ReaderPulledWhilePollingIsAReaderFailureAndComesBackAfterReplugging) {
    ASSERT_TRUE(openReader(reader));
    laySample("nanaco.json");
    ASSERT_EQ(read(), ReadStateRead);

    unplug();
    EXPECT_EQ(read(), ReadStateError);
    EXPECT_EQ(reader.LastErrorType, 1069);
    EXPECT_FALSE(reader.ReaderWriterOpened);
    EXPECT_FALSE(reader.LibraryInitialized);

    // "再読込" while the reader is still out: no reader.
    reader.LastErrorType = 0;
    EXPECT_FALSE(openReader(reader));
    EXPECT_EQ(reader.LastErrorType, 1028);

    plugIn();
    ASSERT_TRUE(pcscd.waitForCard(true)) << pcscd.log();
    ASSERT_TRUE(openReader(reader)) << reader.LastErrorType;
    // The card that lay there all along is still the card read last.
    EXPECT_EQ(read(), ReadStateSameCard);
    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    laySample("nanaco.json");
    EXPECT_EQ(read(), ReadStateRead);
}

TEST_F(PcscPath, PcscdStoppedAndRestarted) {
    ASSERT_TRUE(openReader(reader));
    laySample("waon.json");
    ASSERT_EQ(read(), ReadStateRead);

    // Stopped under an open connection: a reader failure.
    pcscd.stop();
    EXPECT_EQ(read(), ReadStateError);
    EXPECT_EQ(reader.LastErrorType, 1069);

    // Not running at all: no reader.
    EXPECT_FALSE(openReader(reader));
    EXPECT_EQ(reader.LastErrorType, 1028);

    std::string why;
    ASSERT_TRUE(pcscd.start(true, why)) << why;
    ASSERT_TRUE(pcscd.waitForCard(true)) << pcscd.log();
    ASSERT_TRUE(openReader(reader));
    EXPECT_EQ(read(), ReadStateSameCard);
    lift();
    EXPECT_EQ(read(), ReadStateNoCard);
    laySample("edy.json");
    EXPECT_EQ(read(), ReadStateRead);
}

TEST_F(PcscPath, ReaderNamedThatIsNotThereIsNoReader) {
    reader.Library = felica::FelicaLibrary([] { return felica::makePcscTransport({"No Such Reader 00 00"}); });
    EXPECT_FALSE(openReader(reader));
    EXPECT_EQ(reader.LastErrorType, 1028);

    // The reader listing pcscd gives, with the card it sees.
    laySample("edy.json");
    std::vector<felica::PcscReaderInfo> readers;
    std::string why;
    ASSERT_TRUE(felica::listPcscReaders(readers, why)) << why;
    ASSERT_FALSE(readers.empty());
    EXPECT_EQ(readers[0].name, pcscd.readerName());
    EXPECT_TRUE(readers[0].answers);
    EXPECT_TRUE(readers[0].felicaCard);
}

}  // namespace
}  // namespace tovani::test
