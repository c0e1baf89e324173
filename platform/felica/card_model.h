#pragma once

// A card-image folder as the field of a reader/writer: the one card model
// behind the virtual reader and every simulated device, so that all of them
// serve a folder the same way.
//
//   folder exists          the reader/writer is there
//   card.json              that card lies on the reader (read again at every
//                          Polling, so replacing the file swaps the card)
//   no card.json           polling finds no card
//   a file "unplugged"     the reader/writer stops answering
//   folder missing         no reader/writer (or, once open, a pulled one)

#include <optional>
#include <span>
#include <string>

#include "platform/felica/card_image.h"
#include "platform/felica/felica_frames.h"

namespace tovani::felica {

class CardFolder {
public:
    // `who` starts the line that reports a broken card image on stderr.
    explicit CardFolder(std::string folder, std::string who = "virtual reader");

    const std::string& folder() const { return folder_; }
    std::string cardPath() const { return folder_ + "/card.json"; }

    // The folder is there: a reader/writer can be found and opened.
    bool present() const;
    // The reader/writer stopped answering: "unplugged" is in the folder or
    // the folder is gone.
    bool unplugged() const;

    // The answer of the card on the reader to one FeliCa command frame
    // (length byte first), or nothing when no card answers. A Polling frame
    // takes the card from card.json afresh; a broken image is reported once
    // and counts as no card.
    std::optional<Frame> answer(std::span<const uint8_t> command);

    // Forgets the card, as a reader/writer does when it is closed.
    void forgetCard() { card_.reset(); }

private:
    void layCardFromFile();

    std::string folder_;
    std::string who_;
    std::optional<SimulatedCard> card_;
    std::string lastReport_;  // a broken image is reported once, not at every poll
};

}  // namespace tovani::felica
