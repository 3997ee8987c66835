#include "Stream/StreamStateLines.h"

namespace sonavex::tool {

namespace {

Json fieldLine(const char* field, Json value) {
    Json line = Json::object();
    line["field"] = field;
    line["value"] = std::move(value);
    return line;
}

} // namespace

std::vector<Json> stateChangeLines(const AudioStreamTranscriberState& oldState,
                                   const AudioStreamTranscriberState& newState) {
    std::vector<Json> lines;
    const auto add = [&](const char* field, const auto& oldValue, const auto& newValue, auto toJson) {
        if (oldValue != newValue) {
            lines.push_back(fieldLine(field, toJson(newValue)));
        }
    };
    const auto same = [](const auto& value) { return Json(value); };
    add("isRecording", oldState.isRecording, newState.isRecording, same);
    add("currentFallbacks", oldState.currentFallbacks, newState.currentFallbacks, same);
    add("lastBufferSize", oldState.lastBufferSize, newState.lastBufferSize, same);
    add("lastConfirmedSegmentEndSeconds", oldState.lastConfirmedSegmentEndSeconds,
        newState.lastConfirmedSegmentEndSeconds, same);
    add("bufferEnergy", oldState.bufferEnergy, newState.bufferEnergy,
        [](const std::vector<float>& energy) { return Json(energy.size()); });
    add("currentText", oldState.currentText, newState.currentText, same);
    add("confirmedSegments", oldState.confirmedSegments, newState.confirmedSegments, same);
    add("unconfirmedSegments", oldState.unconfirmedSegments, newState.unconfirmedSegments, same);
    add("unconfirmedText", oldState.unconfirmedText, newState.unconfirmedText, same);
    return lines;
}

} // namespace sonavex::tool
