// The USB path beyond the reader cases every path shares: its frames, its
// timeouts, and what each fault of the device ends in.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/felica/reader_choice.h"
#include "platform/felica/usb/usb_frames.h"
#include "reader_paths.h"
#include "reader_support.h"
#include "store/card_store.h"
#include "support/tool_run.h"

namespace tovani::test {
namespace {

namespace fs = std::filesystem;
using namespace felica::usb_frames;

std::vector<uint8_t> bytes(const std::string& hex) {
    std::vector<uint8_t> out;
    std::istringstream in(hex);
    for (unsigned b; in >> std::hex >> b;) out.push_back(static_cast<uint8_t>(b));
    return out;
}

// The frame a polling goes in is byte for byte the one a real reader was
// seen to take.
TEST(UsbFrames, PollingTravelsAsInTheRealTrace) {
    const felica::Frame polling = felica::buildPolling({0xFF, 0xFF}, felica::RequestSystemCodeData, 0);
    EXPECT_EQ(felica::hexText(command(cmd::InCommRF, inCommRfParams(pollingTimeout(), polling))),
              "00 00 FF FF FF 0A 00 F6 D6 04 6E 00 06 00 FF FF 01 00 B3 00");
}

TEST(UsbFrames, OnlyWholeSoundFramesAreTaken) {
    constexpr int Refused = -1;
    const struct {
        const char* what;
        const char* hex;
        int kind;
    } rows[] = {
        {"acknowledgement", "00 00 FF 00 FF 00", Parsed::Acknowledgement},
        {"error frame", "00 00 FF FF FF 00", Parsed::DeviceError},
        {"extended form", "00 00 FF FF FF 03 00 FD D7 2B 00 FE 00", Parsed::Data},
        {"short form", "00 00 FF 03 FD D7 2B 00 FE 00", Parsed::Data},
        {"five bytes of the error frame", "00 00 FF FF FF", Refused},
        {"length checksum", "00 00 FF FF FF 03 00 FC D7 2B 00 FE 00", Refused},
        {"short-form length checksum", "00 00 FF 03 FC D7 2B 00 FE 00", Refused},
        {"data checksum", "00 00 FF 03 FD D7 2B 00 FF 00", Refused},
        {"cut short", "00 00 FF FF FF 03 00 FD D7 2B", Refused},
        {"a byte after the frame", "00 00 FF 03 FD D7 2B 00 FE 00 00", Refused},
        {"no postamble", "00 00 FF 03 FD D7 2B 00 FE 01", Refused},
        {"no start code", "00 FF FF 03 FD D7 2B 00 FE 00", Refused},
        {"291 data bytes claimed", "00 00 FF FF FF 23 01 DC 00 00", Refused},
        {"no data", "00 00 FF FF FF 00 00 00 00 00", Refused},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Parsed parsed;
        std::string why;
        const bool ok = parseFrame(bytes(row.hex), parsed, why);
        EXPECT_EQ(ok ? parsed.kind : Refused, row.kind) << why;
        if (!ok) { EXPECT_FALSE(why.empty()); }
        if (ok && parsed.kind == Parsed::Data) { EXPECT_EQ(felica::hexText(parsed.data), "D7 2B 00"); }
    }
    // The card's frame inside an InCommRF answer must be as long as it says.
    CommAnswer answer;
    std::string why;
    EXPECT_TRUE(parseInCommRf(bytes("00 00 00 00 08 03 01 02"), answer, why)) << why;
    EXPECT_FALSE(parseInCommRf(bytes("00 00 00 00 08 04 01 02"), answer, why));
    EXPECT_TRUE(parseInCommRf(bytes("80 00 00 00 00"), answer, why));
    EXPECT_EQ(answer.errorMask, rf::ReceiveTimeout);
}

TEST(UsbFrames, TimeoutsFollowTheCardsPmm) {
    felica::Pmm pmm{};
    pmm[3] = 0x00;  // fixed-time commands: A 1, E 0: 0.3 ms, raised to 2 ms
    pmm[5] = 0x4B;  // reads: A 4, B 2, E 1: 0.3021 ms x (2n + 4) x 4
    const felica::Idm idm{};
    const uint16_t service = 0x090F;
    std::vector<felica::BlockElement> blocks(15);
    EXPECT_EQ(commandTimeout(pmm, felica::buildReadWithoutEncryption(idm, {&service, 1}, blocks)), 411 + 10);
    EXPECT_EQ(commandTimeout(pmm, felica::buildReadWithoutEncryption(idm, {&service, 1}, {blocks.data(), 1})),
              73 + 10);
    EXPECT_EQ(commandTimeout(pmm, felica::buildRequestSystemCode(idm)), 20 + 10);
    pmm[5] = 0xFF;  // the longest a card can announce still fits the device's field
    EXPECT_EQ(commandTimeout(pmm, felica::buildReadWithoutEncryption(idm, {&service, 1}, blocks)), 24749 + 10);
    EXPECT_EQ(MaxBlocksPerRead, 15u);
}

TEST(UsbReaderChoice, BusAndAddressAreTwoDecimalNumbers) {
    const struct {
        const char* value;
        bool valid;
        const char* detail;
    } rows[] = {
        {"usb", true, ""},          {"usb:1:5", true, "1:5"},  {"usb:001:010", true, "001:010"},
        {"usb:", false, ""},        {"usb:1", false, ""},      {"usb:1:", false, ""},
        {"usb:x:5", false, ""},     {"usb:1:256", false, ""},  {"usb:1:5:7", false, ""},
        {"usbx", false, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        const felica::ReaderRequest r = felica::readerRequest(nullptr, row.value);
        EXPECT_EQ(r.kind, row.valid ? felica::ReaderRequest::Usb : felica::ReaderRequest::Invalid);
        if (row.valid) { EXPECT_EQ(r.detail, row.detail); }
    }
}

std::unique_ptr<ReaderPath> usbPath() {
    for (const ReaderPathRow& row : readerPaths())
        if (row.name == "usb") return row.make();
    return nullptr;
}

void copySample(const std::string& name, const fs::path& folder) {
    fs::copy_file(fs::path(TOVANI_SOURCE_DIR) / "samples/cards" / name, folder / "card.json",
                  fs::copy_options::overwrite_existing);
}

// The device frame after the last InCommRF the host sent.
std::string deviceLineAfterLastCardCommand(const std::string& log) {
    std::istringstream in(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (line.find(" usb > ") != std::string::npos || line.find(" usb < ") != std::string::npos)
            lines.push_back(line);
    for (size_t i = lines.size(); i-- > 1;)
        if (lines[i - 1].find(" > ") != std::string::npos && lines[i - 1].find(" D6 04 ") != std::string::npos)
            return lines[i];
    return {};
}

class UsbDevice : public ::testing::Test {
protected:
    void SetUp() override {
        path = usbPath();
        ASSERT_TRUE(path);
        std::string why;
        ASSERT_TRUE(path->attach(folder.path(), why)) << why;
        copySample("transit.json", folder.path());
        setenv("TOVANI_READER_LOG", (logDir / "reader.log").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TOVANI_READER_LOG");
        path->detach();
    }
    ReadState read(ReaderState& reader) {
        CardReadResults results;
        return readCard(reader, results, storedRirekiLookup(programDir.str()));
    }
    // tovani-card readers: its output and standard error.
    std::string listReaders() {
        const ToolRun r = runShell(shellQuoted(std::string(TOVANI_PROGRAM_DIR) + "/tovani-card") + " readers",
                                   logDir / "err");
        return r.out + r.err;
    }

    std::unique_ptr<ReaderPath> path;
    TempDir folder, programDir, logDir;
};

// Every fault of the device ends in its own state, with the reason on
// standard error; once the device is sound again it opens and reads.
TEST_F(UsbDevice, EveryFaultEndsInItsStateAndTheNextOpenWorks) {
    const struct {
        const char* what;
        const char* file;  // written into the reader folder
        const char* word;
        bool atOpen;       // the fault strikes opening, else a card read
        bool named;        // TOVANI_READER=usb, else the automatic choice
        int32_t error;     // 0: no failure
        const char* says;  // on standard error
    } rows[] = {
        {"answer with a bad checksum", "usb-fault", "bad-checksum", false, true, 1069, "data checksum does not add up"},
        {"answer cut short", "usb-fault", "short-frame", false, true, 1069, "a frame cut short"},
        {"no acknowledgement", "usb-fault", "no-ack", false, true, 1069, "no acknowledgement"},
        {"device error mask", "usb-fault", "device-error", false, true, 1069, "error mask 00000040"},
        {"gone mid-read", "usb-fault", "vanish", false, true, 1069, "LIBUSB_ERROR_NO_DEVICE"},
        {"setup status error", "usb-fault", "status-error", true, true, 1027, "InSetRF refused: status 01"},
        {"claimed by another program", "usb-fault", "busy", true, true, 1027, "LIBUSB_ERROR_BUSY"},
        {"no permission", "usb-fault", "no-access", true, true, 1027, "LIBUSB_ERROR_ACCESS"},
        {"held by port100, chosen automatically", "usb-fault", "kernel-driver", true, false, 0, ""},
        {"held by port100, named", "usb-fault", "kernel-driver", true, true, 0, ""},
        {"no device", "unplugged", "", true, true, 1028, "no RC-S380-class reader"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.named)
            setenv("TOVANI_READER", "usb", 1);
        else
            unsetenv("TOVANI_READER");
        ReaderState reader;
        initErrorMessages(reader);
        if (!row.atOpen) { ASSERT_TRUE(openReader(reader)) << "error " << reader.LastErrorType; }
        writeFile(folder / row.file, row.word);
        ::testing::internal::CaptureStderr();
        if (row.atOpen) {
            EXPECT_EQ(openReader(reader), row.error == 0);
            if (row.error == 0) { EXPECT_EQ(read(reader), ReadStateRead); }
            closeReader(reader);
        } else {
            EXPECT_EQ(read(reader), ReadStateError);
            EXPECT_FALSE(reader.ReaderWriterOpened);
        }
        const std::string err = ::testing::internal::GetCapturedStderr();
        if (row.error) { EXPECT_EQ(reader.LastErrorType, row.error); }
        EXPECT_NE(err.find(row.says), std::string::npos) << err;

        fs::remove(folder / row.file);
        setenv("TOVANI_READER", "usb", 1);
        ReaderState again;
        initErrorMessages(again);
        ASSERT_TRUE(openReader(again)) << "error " << again.LastErrorType;
        EXPECT_EQ(read(again), ReadStateRead);
        closeReader(again);
        // The host never sent the device anything it would not take.
        EXPECT_FALSE(fs::exists(folder / "usb-refused")) << readFile(folder / "usb-refused");
    }
    // The reader log holds the FeliCa frames beside the device's, and the
    // reader's loan from its kernel driver.
    const std::string log = readFile(logDir / "reader.log");
    EXPECT_NE(log.find(" usb-felica > 06 00 "), std::string::npos);
    EXPECT_NE(log.find(" usb < 00 00 FF 00 FF 00"), std::string::npos);
    EXPECT_NE(log.find(" usb # took the reader from the kernel driver port100 until it is closed\n"), std::string::npos);
    EXPECT_NE(log.find(" usb # gave the reader back to the kernel driver\n"), std::string::npos);
}

TEST_F(UsbDevice, ACommandWithoutAcknowledgementIsAbortedByAnAck) {
    ReaderState reader;
    initErrorMessages(reader);
    ASSERT_TRUE(openReader(reader)) << "error " << reader.LastErrorType;
    writeFile(folder / "usb-fault", "no-ack");
    EXPECT_EQ(read(reader), ReadStateError);
    const std::string log = readFile(logDir / "reader.log");
    EXPECT_NE(deviceLineAfterLastCardCommand(log).find(" usb > 00 00 FF 00 FF 00"), std::string::npos) << log;
}

TEST_F(UsbDevice, ReadersListItWithWhatHoldsIt) {
    std::string out = listReaders();
    EXPECT_NE(out.find("usb:001:005\tRC-S380-class FeliCa reader (054C:06C3)\tanswers\tusb\n"), std::string::npos) << out;
    writeFile(folder / "usb-fault", "kernel-driver");
    out = listReaders();
    EXPECT_NE(out.find("usb:001:005\tRC-S380-class FeliCa reader (054C:06C3)\tanswers\tusb\t"
                       "the kernel driver port100 holds it; the program takes it while in use\n"),
              std::string::npos)
        << out;
}

}  // namespace
}  // namespace tovani::test
