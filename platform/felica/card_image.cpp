#include "platform/felica/card_image.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "platform/os/paths.h"

namespace tovani::felica {

namespace {

using nlohmann::json;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Exactly `digits` hex digits into digits / 2 bytes.
bool hexBytes(const json& value, size_t digits, std::span<uint8_t> out) {
    if (!value.is_string()) return false;
    const std::string& s = value.get_ref<const std::string&>();
    if (s.size() != digits || out.size() * 2 != digits) return false;
    for (size_t i = 0; i < out.size(); ++i) {
        int hi = hexValue(s[2 * i]);
        int lo = hexValue(s[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return true;
}

std::string hex(std::span<const uint8_t> bytes) {
    std::string s;
    char buf[3];
    for (uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        s += buf;
    }
    return s;
}

bool parseService(const json& j, const std::string& where, ServiceImage& out, std::string& why) {
    if (!j.is_object()) {
        why = where + ": not an object";
        return false;
    }
    std::array<uint8_t, 2> code{};
    if (!j.contains("code") || !hexBytes(j["code"], 4, code)) {
        why = where + ".code: not 4 hex digits";
        return false;
    }
    out.code = static_cast<uint16_t>((code[0] << 8) | code[1]);
    if (!j.contains("blocks") || !j["blocks"].is_array()) {
        why = where + ".blocks: missing or not a list";
        return false;
    }
    const json& blocks = j["blocks"];
    for (size_t b = 0; b < blocks.size(); ++b) {
        Block block{};
        if (!hexBytes(blocks[b], 32, block)) {
            why = where + ".blocks[" + std::to_string(b) + "]: not 32 hex digits";
            return false;
        }
        out.blocks.push_back(block);
    }
    return true;
}

bool parseSystem(const json& j, const std::string& where, SystemImage& out, std::string& why) {
    if (!j.is_object()) {
        why = where + ": not an object";
        return false;
    }
    if (!j.contains("system_code") || !hexBytes(j["system_code"], 4, out.systemCode)) {
        why = where + ".system_code: not 4 hex digits";
        return false;
    }
    if (!j.contains("idm") || !hexBytes(j["idm"], 16, out.idm)) {
        why = where + ".idm: not 16 hex digits";
        return false;
    }
    if (!j.contains("services")) return true;  // a system may offer no service
    if (!j["services"].is_array()) {
        why = where + ".services: not a list";
        return false;
    }
    const json& services = j["services"];
    for (size_t s = 0; s < services.size(); ++s) {
        ServiceImage service;
        if (!parseService(services[s], where + ".services[" + std::to_string(s) + "]", service, why)) return false;
        out.services.push_back(std::move(service));
    }
    return true;
}

}  // namespace

bool parseCardImage(const std::string& text, CardImage& out, std::string& why) {
    json j = json::parse(text, nullptr, false);
    if (j.is_discarded()) {
        why = "not valid JSON";
        return false;
    }
    if (!j.is_object()) {
        why = "not a JSON object";
        return false;
    }
    CardImage image;
    if (j.contains("pmm") && !hexBytes(j["pmm"], 16, image.pmm)) {
        why = "pmm: not 16 hex digits";
        return false;
    }
    if (j.contains("comment") && j["comment"].is_string()) image.comment = j["comment"].get<std::string>();
    if (!j.contains("systems") || !j["systems"].is_array() || j["systems"].empty()) {
        why = "systems: missing, empty or not a list";
        return false;
    }
    const json& systems = j["systems"];
    // The Request System Code answer lists every system in one frame: length,
    // code, IDm and count take 11 bytes, each system 2 more.
    constexpr size_t kMaxSystems = (MaxFrameLength - 11) / 2;
    if (systems.size() > kMaxSystems) {
        why = "systems: more than " + std::to_string(kMaxSystems) + ", the most one answer can list";
        return false;
    }
    for (size_t s = 0; s < systems.size(); ++s) {
        SystemImage system;
        if (!parseSystem(systems[s], "systems[" + std::to_string(s) + "]", system, why)) return false;
        image.systems.push_back(std::move(system));
    }
    out = std::move(image);
    return true;
}

bool loadCardImage(const std::string& path, CardImage& out, std::string& why) {
    std::ifstream in(os::osPath(path), std::ios::binary);
    if (!in) {
        why = "cannot be opened";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        why = "cannot be read";
        return false;
    }
    return parseCardImage(text.str(), out, why);
}

std::string cardImageToJson(const CardImage& image) {
    // Keys in the order of the format's description, for people reading dumps.
    using ordered = nlohmann::ordered_json;
    ordered j = ordered::object();
    if (!image.comment.empty()) j["comment"] = image.comment;
    j["pmm"] = hex(image.pmm);
    j["systems"] = ordered::array();
    for (const SystemImage& system : image.systems) {
        ordered s = ordered::object();
        s["system_code"] = hex(system.systemCode);
        s["idm"] = hex(system.idm);
        s["services"] = ordered::array();
        for (const ServiceImage& service : system.services) {
            const std::array<uint8_t, 2> code{static_cast<uint8_t>(service.code >> 8),
                                              static_cast<uint8_t>(service.code & 0xFF)};
            ordered blocks = ordered::array();
            for (const Block& b : service.blocks) blocks.push_back(hex(b));
            ordered entry = ordered::object();
            entry["code"] = hex(code);
            entry["blocks"] = blocks;
            s["services"].push_back(entry);
        }
        j["systems"].push_back(s);
    }
    return j.dump(2) + "\n";
}

// --- the simulated card ------------------------------------------------------

namespace {
// Status flag 2 values of a refused read.
constexpr uint8_t StatusTooManyBlocks = 0xA2;
constexpr uint8_t StatusBadServiceIndex = 0xA3;
constexpr uint8_t StatusNoSuchService = 0xA6;
constexpr uint8_t StatusNoSuchBlock = 0xA8;
constexpr uint8_t StatusBadFormat = 0xA1;
}  // namespace

SimulatedCard::SimulatedCard(CardImage image, size_t maxBlocksPerRead)
    : image_(std::move(image)), maxBlocksPerRead_(maxBlocksPerRead) {}

const SystemImage* SimulatedCard::systemByIdm(std::span<const uint8_t> idm) const {
    auto same = [&](const SystemImage& s) { return std::equal(s.idm.begin(), s.idm.end(), idm.begin()); };
    // Systems may share an IDm; the one polled last answers first.
    if (hasPolled_ && polled_ < image_.systems.size() && same(image_.systems[polled_]))
        return &image_.systems[polled_];
    for (const SystemImage& s : image_.systems)
        if (same(s)) return &s;
    return nullptr;
}

std::optional<Frame> SimulatedCard::respond(std::span<const uint8_t> command) {
    if (command.size() < 2 || command[0] != command.size()) return std::nullopt;
    switch (command[1]) {
    case code::Polling:
        return answerPolling(command);
    case code::RequestSystemCode: {
        if (command.size() != 10) return std::nullopt;
        const SystemImage* system = systemByIdm(command.subspan(2, 8));
        if (!system) return std::nullopt;
        std::vector<std::array<uint8_t, 2>> codes;
        for (const SystemImage& s : image_.systems) codes.push_back(s.systemCode);
        return buildRequestSystemCodeAnswer(system->idm, codes);
    }
    case code::SearchServiceCode: {
        if (command.size() != 12) return std::nullopt;
        const SystemImage* system = systemByIdm(command.subspan(2, 8));
        if (!system) return std::nullopt;
        size_t index = command[10] | (command[11] << 8);
        // Index 0 is the system's root area, as on a real card.
        SearchAnswer a;
        if (index == 0) {
            a = {SearchAnswer::Area, 0x0000, 0xFFFE};
        } else if (index - 1 < system->services.size()) {
            a = {SearchAnswer::Service, system->services[index - 1].code, 0};
        }
        return buildSearchServiceCodeAnswer(system->idm, a);
    }
    case code::ReadWithoutEncryption:
        return answerRead(command);
    default:
        return std::nullopt;
    }
}

std::optional<Frame> SimulatedCard::answerPolling(std::span<const uint8_t> command) {
    if (command.size() != 6) return std::nullopt;
    const uint8_t hi = command[2], lo = command[3], requestCode = command[4];
    // FF in either byte of the polled system code matches any value.
    for (size_t i = 0; i < image_.systems.size(); ++i) {
        const SystemImage& s = image_.systems[i];
        if ((hi == 0xFF || hi == s.systemCode[0]) && (lo == 0xFF || lo == s.systemCode[1])) {
            polled_ = i;
            hasPolled_ = true;
            return buildPollingAnswer(s.idm, image_.pmm, requestCode == RequestSystemCodeData ? &s.systemCode : nullptr);
        }
    }
    return std::nullopt;
}

std::optional<Frame> SimulatedCard::answerRead(std::span<const uint8_t> command) {
    if (command.size() < 10) return std::nullopt;
    const SystemImage* system = systemByIdm(command.subspan(2, 8));
    if (!system) return std::nullopt;
    ReadRequest request;
    std::string why;
    if (!parseReadRequest(command, request, why)) return buildReadAnswer(system->idm, 0xFF, StatusBadFormat, {});
    if (request.blocks.size() > maxBlocksPerRead_)
        return buildReadAnswer(system->idm, 0xFF, StatusTooManyBlocks, {});
    std::vector<const ServiceImage*> services;
    for (uint16_t code : request.serviceCodes) {
        auto it = std::find_if(system->services.begin(), system->services.end(),
                               [&](const ServiceImage& s) { return s.code == code; });
        if (it == system->services.end()) return buildReadAnswer(system->idm, 0xFF, StatusNoSuchService, {});
        services.push_back(&*it);
    }
    std::vector<uint8_t> data;
    for (size_t i = 0; i < request.blocks.size(); ++i) {
        const BlockElement& e = request.blocks[i];
        // Status flag 1 names the offending element, counting from 1.
        const uint8_t position = static_cast<uint8_t>(std::min<size_t>(i + 1, 0xFE));
        if (e.serviceIndex >= services.size())
            return buildReadAnswer(system->idm, position, StatusBadServiceIndex, {});
        const ServiceImage& s = *services[e.serviceIndex];
        if (e.blockNumber >= s.blocks.size()) return buildReadAnswer(system->idm, position, StatusNoSuchBlock, {});
        data.insert(data.end(), s.blocks[e.blockNumber].begin(), s.blocks[e.blockNumber].end());
    }
    return buildReadAnswer(system->idm, 0, 0, data);
}

}  // namespace tovani::felica
