// Puts the simulated reader beside the test program into a chosen state.
#pragma once

#include <string>

// Writes the reader's description file beside the test program for the life of the object
// and removes it afterwards, so that no test sees another's card.
class SimulatedReader {
public:
    // card: a sample card file name from the build's cards folder, or "" for none.
    explicit SimulatedReader(const std::string& card, const std::string& extra_lines = "");
    ~SimulatedReader();
    SimulatedReader(const SimulatedReader&) = delete;
    SimulatedReader& operator=(const SimulatedReader&) = delete;

    // The driver library variants built beside the main one, for missing-export cases.
    static std::string VariantDirectory(const std::string& variant);
};
