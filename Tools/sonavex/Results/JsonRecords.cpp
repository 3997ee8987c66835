#include "Results/JsonRecords.h"

#include "Sonavex/Core/Audio/AudioInputOptions.h"
#include "Sonavex/Core/Options/DecodingOptions.h"
#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Core/Results/TranscriptionResultStruct.h"

#include <map>

namespace sonavex::tool {

namespace {

template <class Record> Json roundTrip(const Json& document) {
    return Json(document.get<Record>());
}

const std::map<std::string, JsonRecordType>& recordTypes() {
    static const std::map<std::string, JsonRecordType> table = {
        {"decoding-options", {&roundTrip<DecodingOptions>, [] { return Json(DecodingOptions()); }}},
        {"decoding-task", {&roundTrip<DecodingTask>, nullptr}},
        {"channel-mode",
         {[](const Json& document) { return channelModeToJson(channelModeFromJson(document)); },
          [] { return channelModeToJson(AudioInputOptions().channelMode); }}},
        {"result",
         {[](const Json& document) { return Json(*transcriptionResultFromJson(document)); }, nullptr}},
        {"result-struct", {&roundTrip<TranscriptionResultStruct>, nullptr}},
        {"segment", {&roundTrip<TranscriptionSegment>, nullptr}},
        {"word", {&roundTrip<WordTiming>, nullptr}},
        {"timings", {&roundTrip<TranscriptionTimings>, [] { return Json(TranscriptionTimings()); }}},
    };
    return table;
}

} // namespace

const JsonRecordType* findJsonRecordType(const std::string& name) {
    auto found = recordTypes().find(name);
    return found == recordTypes().end() ? nullptr : &found->second;
}

} // namespace sonavex::tool
