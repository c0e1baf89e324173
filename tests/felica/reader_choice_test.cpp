// Each route TOVANI_READER takes is accepted in both its forms and shown in
// the help, beside the automatic order; nothing here lists the routes.

#include <gtest/gtest.h>

#include "platform/felica/reader_choice.h"
#include "platform/felica/reader_help.h"

namespace tovani::felica {
namespace {

// Runs of blanks and line breaks as one space: the help wraps its lines.
std::string squeezed(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n';
        if (!blank || (!out.empty() && out.back() != ' ')) out += blank ? ' ' : c;
    }
    return out;
}

TEST(ReaderChoice, EveryRouteIsAcceptedAndInTheHelp) {
    const std::string help = squeezed(readerEnvironmentHelp());
    const std::string unknown = readerRequest(nullptr, "smartcard").detail;
    for (const ReaderRoute& route : readerRoutes()) {
        SCOPED_TRACE(route.name);
        const std::string prefix = std::string(route.name) + ":";
        const std::string example = route.example;
        ASSERT_TRUE(example.starts_with(prefix));
        if (!route.available) {  // a Linux route in another system's build: refused by name, never offered
            for (const std::string& value : {std::string(route.name), example}) {
                const ReaderRequest refused = readerRequest(nullptr, value.c_str());
                EXPECT_EQ(refused.kind, ReaderRequest::Invalid) << value;
                EXPECT_NE(refused.detail.find("is available on Linux only"), std::string::npos) << refused.detail;
            }
            EXPECT_EQ(help.find("TOVANI_READER=" + std::string(route.name)), std::string::npos) << help;
            EXPECT_EQ(unknown.find(prefix), std::string::npos) << unknown;
            continue;
        }

        const ReaderRequest first = readerRequest(nullptr, route.name);
        EXPECT_EQ(first.kind, route.kind);
        EXPECT_EQ(first.detail, "");
        const ReaderRequest chosen = readerRequest(nullptr, route.example);
        EXPECT_EQ(chosen.kind, route.kind);
        EXPECT_EQ(chosen.detail, example.substr(prefix.size()));
        EXPECT_EQ(readerRequest(nullptr, prefix.c_str()).kind, ReaderRequest::Invalid);

        for (const std::string& text : {"TOVANI_READER=" + std::string(route.name) + " " + route.first,
                                        "TOVANI_READER=" + prefix + route.detail + " " + route.chosen, example})
            EXPECT_NE(help.find(text), std::string::npos) << text << "\n" << help;
        EXPECT_NE(unknown.find(prefix + route.detail), std::string::npos) << unknown;
    }
    size_t at = help.find("TOVANI_READER unset");
    for (const AutomaticCandidate& candidate : automaticOrder()) {
        at = help.find(candidate.what, at);
        EXPECT_NE(at, std::string::npos) << candidate.what << " in its place\n" << help;
    }
}

}  // namespace
}  // namespace tovani::felica
