// One suite for both SAX readers: compiled into the host tests (expat) and
// into the Windows tests (MSXML under Wine), so that a parser written against
// the seam sees the same events on both. The cases are in sax_suite.cpp,
// which each test program links; this header holds what they share.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "platform/sax.h"

namespace saxsuite {

using platform::SaxAttributes;
using platform::SaxResult;

// Records the events as lines; consecutive pieces of character data are
// joined, because readers are free to split text anywhere.
class Recorder : public platform::ISaxHandler {
public:
    std::vector<std::string> events;
    std::string stopAtStart, stopAtEnd, stopAtText;
    bool throwAtStart = false;

    bool StartElement(const std::string& name, const SaxAttributes& attributes) override {
        std::string line = "S:" + name;
        if (!attributes.empty()) {
            line += '[';
            for (size_t i = 0; i < attributes.size(); ++i) {
                if (i) line += ',';
                line += attributes[i].name + "=" + attributes[i].value;
            }
            line += ']';
        }
        events.push_back(line);
        if (throwAtStart && name == stopAtStart) throw std::runtime_error("handler failure");
        return name != stopAtStart;
    }
    bool EndElement(const std::string& name) override {
        events.push_back("E:" + name);
        return name != stopAtEnd;
    }
    bool Characters(const std::string& text) override {
        if (!events.empty() && events.back().compare(0, 2, "T:") == 0) events.back() += text;
        else events.push_back("T:" + text);
        return stopAtText.empty() || text.find(stopAtText) == std::string::npos;
    }
};

using Events = std::vector<std::string>;

inline std::unique_ptr<platform::ISaxReader> Reader() {
    platform::SaxReaderCreation created = platform::CreateSaxReader();
    EXPECT_TRUE(created.reader) << "reader creation failed: " << std::hex << created.error;
    return std::move(created.reader);
}

// A folder whose name holds a space, removed afterwards.
class TempFolder : public testing_support::TempFolder {
public:
    explicit TempFolder(const std::string& extra = std::string()) : testing_support::TempFolder("varnel sax" + extra) {}
    std::string PathOf(const std::string& name) const { return Path(name); }
};

}  // namespace saxsuite
