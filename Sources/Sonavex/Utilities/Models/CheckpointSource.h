#pragma once
// Where a model variant comes from when the model repository holds no folder of this runtime's models:
// the public Whisper checkpoint of the same model, brought into the mirror and converted into the
// variant's folder. A name with a size suffix ("_626MB") or "_turbo" is a compressed form of the same
// checkpoint, so it is built from that checkpoint.

#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"
#include "OrvaneCore/System/Progress.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

namespace sonavex {

struct CheckpointSource {
    /// The known model the variant names ("openai_whisper-base"): the folder it is built into.
    std::string modelName;
    /// The hub repository of its checkpoint ("openai/whisper-base").
    std::string checkpointRepo;

    /// The known model whose name ends with `variant` (an "openai" one when several do), and its
    /// checkpoint; nothing for a name no known model ends with, or one that stays ambiguous.
    static std::optional<CheckpointSource> forVariant(const std::string& variant);
    /// The checkpoint repository of a known model name; nothing for a name of no known form.
    static std::optional<std::string> checkpointRepoFor(const std::string& modelName);

    /// The first file of the three models of this runtime (each one's description and weights) that
    /// `folder` lacks; nothing when it holds them all.
    static std::optional<std::filesystem::path> missingModelFile(const std::filesystem::path& folder);
    /// Whether `folder` holds the three models of this runtime.
    static bool holdsConvertedModels(const std::filesystem::path& folder);

    /// Brings the checkpoint into `hub`'s mirror and converts it into `folder` (an earlier complete
    /// conversion there is kept as it is; an incomplete one is replaced), then removes the checkpoint's
    /// weight files from the mirror. `progress` gets one object whose fraction runs to 0.9 over the
    /// download and to 1 over the conversion. A checkpoint that cannot be fetched throws
    /// WhisperError::modelsUnavailable naming it and the hub's reason; a failed conversion throws
    /// CheckpointConversionError.
    std::filesystem::path build(const orvane::HubApiWrapper& hub, const std::filesystem::path& folder,
                                const std::function<void(const orvane::Progress&)>& progress,
                                std::stop_token stop) const;
};

} // namespace sonavex
