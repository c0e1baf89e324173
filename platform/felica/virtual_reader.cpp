#include "platform/felica/virtual_reader.h"

#include "platform/felica/reader_log.h"

namespace tovani::felica {

VirtualReader::VirtualReader(std::string folder) : field_(std::move(folder)) {}

OpenResult VirtualReader::open() {
    close();
    if (!field_.present()) return OpenResult::NotFound;
    log_.emplace();
    open_ = true;
    return OpenResult::Opened;
}

void VirtualReader::close() {
    open_ = false;
    field_.forgetCard();
    log_.reset();
}

bool VirtualReader::isAlive() { return open_ && !field_.unplugged(); }

Exchange VirtualReader::transceive(std::span<const uint8_t> command, Frame& response) {
    response.clear();
    if (!isAlive()) {
        logNote("virtual", "unplugged");
        return Exchange::ReaderFault;
    }
    logExchange("virtual", LogDirection::ToReader, command);
    std::optional<Frame> answer = field_.answer(command);
    if (!answer) {
        logNote("virtual", "no answer");
        return Exchange::NoAnswer;
    }
    response = std::move(*answer);
    logExchange("virtual", LogDirection::FromReader, response);
    return Exchange::Answered;
}

}  // namespace tovani::felica
