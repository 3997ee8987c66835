#pragma once
// What the recorder is doing, as the panel shows it: nothing, recording, or failed with a message.

#include <string>
#include <string_view>

namespace velmora {

struct RecordingPhase {
    enum class Case { idle, recording, failed };

    Case kind = Case::idle;
    /// The failure text; empty for the other cases.
    std::string message;

    static RecordingPhase idle() { return {}; }
    static RecordingPhase recording() { return {Case::recording, {}}; }
    static RecordingPhase failed(std::string message) { return {Case::failed, std::move(message)}; }

    bool isRecording() const { return kind == Case::recording; }
    /// "idle", "recording" or "failed".
    std::string_view caseName() const;

    bool operator==(const RecordingPhase&) const = default;
};

} // namespace velmora
