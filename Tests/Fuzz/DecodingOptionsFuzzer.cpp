// Decoding options read from a JSON document: a document is read or refused with a DecodingError; options
// that were read write out as JSON that reads back to equal options, and their clip times become sample
// ranges or a WhisperError naming the time, for any length of audio.

#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Core/Options/DecodingOptions.h"
#include "Sonavex/Utilities/Errors/EncodingError.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    sonavex::DecodingOptions options;
    try {
        options = sonavex::json::parseDocument(text).get<sonavex::DecodingOptions>();
    } catch (const orvane::DecodingError&) {
        return 0;
    }
    sonavex::json::Json written = options;
    bool finite = true;
    try {
        sonavex::json::requireFinite(written);
    } catch (const sonavex::EncodingError&) {
        finite = false;
    }
    if (finite) {
        try {
            if (sonavex::json::parseDocument(written.dump()).get<sonavex::DecodingOptions>() != options) {
                std::abort();
            }
        } catch (const orvane::DecodingError&) {
            std::abort(); // what was written cannot be read
        }
    }
    for (const int64_t frames : {int64_t{0}, static_cast<int64_t>(size) * 160, INT64_MAX}) {
        try {
            const auto clips = options.prepareSeekClips(frames);
            if (clips.empty() ||
                clips.size() != std::max<std::size_t>(1, (options.clipTimestamps.size() + 1) / 2)) {
                std::abort();
            }
        } catch (const sonavex::WhisperError&) {
            // a clip time that names no sample
        }
    }
    return 0;
}
