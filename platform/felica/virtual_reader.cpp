#include "platform/felica/virtual_reader.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace tovani::felica {

namespace fs = std::filesystem;

VirtualReader::VirtualReader(std::string folder) : folder_(std::move(folder)) {}

OpenResult VirtualReader::open() {
    std::error_code ec;
    if (!fs::is_directory(folder_, ec)) return OpenResult::NotFound;
    open_ = true;
    return OpenResult::Opened;
}

void VirtualReader::close() {
    open_ = false;
    card_.reset();
}

bool VirtualReader::isAlive() {
    std::error_code ec;
    return open_ && fs::is_directory(folder_, ec) && !fs::exists(fs::path(folder_) / "unplugged", ec);
}

void VirtualReader::layCardFromFile() {
    card_.reset();
    std::error_code ec;
    const std::string path = cardPath();
    if (!fs::exists(path, ec)) {
        lastReport_.clear();
        return;
    }
    CardImage image;
    std::string why;
    if (!loadCardImage(path, image, why)) {
        std::string report = "virtual reader: " + path + ": " + why + " (treated as no card)";
        if (report != lastReport_) std::cerr << report << std::endl;
        lastReport_ = std::move(report);
        return;
    }
    lastReport_.clear();
    card_.emplace(std::move(image));
}

Exchange VirtualReader::transceive(std::span<const uint8_t> command, Frame& response) {
    response.clear();
    if (!isAlive()) return Exchange::ReaderFault;
    if (command.size() >= 2 && command[1] == code::Polling) layCardFromFile();
    if (!card_) return Exchange::NoAnswer;
    std::optional<Frame> answer = card_->respond(command);
    if (!answer) return Exchange::NoAnswer;
    response = std::move(*answer);
    return Exchange::Answered;
}

std::unique_ptr<Transport> makeLibnfcTransport();

std::unique_ptr<Transport> makeDefaultTransport() {
    const char* folder = std::getenv("FELICA_VIRTUAL_READER");
    if (folder && *folder) return std::make_unique<VirtualReader>(folder);
    return makeLibnfcTransport();
}

}  // namespace tovani::felica
