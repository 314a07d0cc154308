// The work the picture benchmarks time: one card read from the simulated reader, and each
// picture stage on its own.
#pragma once

#include <memory>
#include <string>

#include "card/sdt_buffer.h"
#include "imaging/photo/image_holder.h"
#include "request/reply_document.h"

namespace vorn {

// The program's directory, where the simulated reader and the stand-in decoder lie.
std::string ProgramDirectory();

// Reads the card that the simulator's description puts on the reader; false when it fails.
bool ReadSampleCard(const std::string& directory, CIdBufferW& card);

class PictureWarmUp;

// The three picture stages, as the pipeline runs them for one request, taking what the
// read's warm-up made when it is given. True on success.
bool RunAllStages(const std::string& directory, const CIdBufferW& card, PictureTexts& texts,
                  PictureWarmUp* warm_up = nullptr);

// One stage each, in an imaging context set up the way the pipeline sets it up.
class StageBench {
public:
    StageBench(const std::string& directory, const CIdBufferW& card);
    ~StageBench();
    StageBench(const StageBench&) = delete;
    StageBench& operator=(const StageBench&) = delete;

    bool ready() const { return ready_; }
    bool Photo(std::string& text);
    bool Face(int side, std::string& text);

    // The floor: only the JPEG encoding of the already decoded photo and composed faces.
    bool EncodeOnly();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    bool ready_ = false;
};

}  // namespace vorn
