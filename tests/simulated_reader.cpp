// The simulated reader's description file, written by the tests.
#include "tests/simulated_reader.h"

#include <filesystem>

#include "tests/test_support.h"

using namespace vorn;

namespace fs = std::filesystem;

namespace {

fs::path DescriptionPath() {
    return TestProgramDirectory() / "simulator.ini";
}

}  // namespace

SimulatedReader::SimulatedReader(const std::string& card, const std::string& extra_lines) {
    std::string text = "[Reader]\n";
    if (!card.empty()) {
        // The unit tests run from a folder below the build folder, where the cards lie.
        text += "card = ../cards/" + card + "\n";
    }
    WriteTextFile(DescriptionPath(), text + extra_lines);
}

SimulatedReader::~SimulatedReader() {
    fs::remove(DescriptionPath());
}

std::string SimulatedReader::VariantDirectory(const std::string& variant) {
    return (TestProgramDirectory().parent_path() / "simulator-variants" / variant).string();
}
