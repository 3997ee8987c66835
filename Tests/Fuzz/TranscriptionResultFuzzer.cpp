// Transcription results read back from JSON (results, segments, words, timings): a document is read or
// refused with a DecodingError; a result that was read writes out as JSON that reads back to the same
// document, and the JSON (when every number has a JSON form), SubRip and WebVTT writers take it.

#include "Fuzz/FuzzSupport.h"
#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Core/Results/TranscriptionResultStruct.h"
#include "Sonavex/Utilities/Errors/EncodingError.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "Sonavex/Utilities/Writers/WriteJSON.h"
#include "Sonavex/Utilities/Writers/WriteSRT.h"
#include "Sonavex/Utilities/Writers/WriteVTT.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using sonavex::json::Json;

bool isFinite(const Json& document) {
    try {
        sonavex::json::requireFinite(document);
        return true;
    } catch (const sonavex::EncodingError&) {
        return false;
    }
}

/// `written` as text, read again as a T: what was written must read.
template <class T> T reread(const Json& written) {
    try {
        return sonavex::json::parseDocument(written.dump()).get<T>();
    } catch (const orvane::DecodingError&) {
        std::abort();
    }
}

void checkResult(const sonavex::TranscriptionResult& result) {
    Json written;
    sonavex::to_json(written, result);
    const bool finite = isFinite(written);
    if (finite) {
        const std::string text = written.dump();
        Json again;
        try {
            sonavex::to_json(again,
                             *sonavex::transcriptionResultFromJson(sonavex::json::parseDocument(text)));
        } catch (const orvane::DecodingError&) {
            std::abort(); // what was written cannot be read
        }
        if (again.dump() != text) {
            std::abort();
        }
    }
    const std::string folder = fuzz::scratchFolder().string();
    if (sonavex::WriteJSON(folder).write(result, "result").isSuccess() != finite ||
        !sonavex::WriteSRT(folder).write(result, "result").isSuccess() ||
        !sonavex::WriteVTT(folder).write(result, "result").isSuccess()) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Json document;
    try {
        document = sonavex::json::parseDocument(text);
    } catch (const orvane::DecodingError&) {
        return 0;
    }
    std::shared_ptr<sonavex::TranscriptionResult> result;
    try {
        result = sonavex::transcriptionResultFromJson(document);
    } catch (const orvane::DecodingError&) {
        // not a result
    }
    if (result) {
        checkResult(*result);
    }
    try {
        // The plain twin may lack "seekTime".
        const auto plain = document.get<sonavex::TranscriptionResultStruct>();
        Json written;
        sonavex::to_json(written, plain);
        if (isFinite(written) &&
            reread<sonavex::TranscriptionResultStruct>(written).segments != plain.segments) {
            std::abort();
        }
    } catch (const orvane::DecodingError&) {
    }
    try {
        // A bare array of segments, as the segment tools print them.
        for (const auto& segment : sonavex::segmentsFromJson(document, "segments")) {
            Json written;
            sonavex::to_json(written, segment);
            if (isFinite(written) && reread<sonavex::TranscriptionSegment>(written) != segment) {
                std::abort();
            }
        }
    } catch (const orvane::DecodingError&) {
    }
    return 0;
}
