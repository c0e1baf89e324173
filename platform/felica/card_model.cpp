#include "platform/felica/card_model.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/os/paths.h"

namespace tovani::felica {

namespace fs = std::filesystem;

CardFolder::CardFolder(std::string folder, std::string who) : folder_(std::move(folder)), who_(std::move(who)) {}

bool CardFolder::present() const {
    std::error_code ec;
    return fs::is_directory(os::osPath(folder_), ec);
}

bool CardFolder::unplugged() const {
    std::error_code ec;
    return !present() || fs::exists(os::osPath(folder_) / "unplugged", ec);
}

void CardFolder::layCardFromFile() {
    card_.reset();
    std::error_code ec;
    const std::string path = cardPath();
    if (!fs::exists(os::osPath(path), ec)) {
        lastReport_.clear();
        return;
    }
    CardImage image;
    std::string why;
    if (!loadCardImage(path, image, why)) {
        std::string report = who_ + ": " + path + ": " + why + " (treated as no card)";
        if (report != lastReport_) std::cerr << report << std::endl;
        lastReport_ = std::move(report);
        return;
    }
    lastReport_.clear();
    card_.emplace(std::move(image));
}

std::optional<Frame> CardFolder::answer(std::span<const uint8_t> command) {
    if (command.size() >= 2 && command[1] == code::Polling) layCardFromFile();
    if (!card_) return std::nullopt;
    return card_->respond(command);
}

}  // namespace tovani::felica
