#pragma once
// Why a recording's audio could not be converted or mixed, beyond what the audio-file layer reports for
// the files themselves.

#include "VelmoraCore/AppError.h"

#include <string>

namespace velmora {

class ConversionError : public AppError {
public:
    enum class Kind {
        /// The conversion could not produce its file; the text says why.
        exportFailed,
        /// The encoder or the container writer could not be set up.
        exportSessionCreationFailed,
    };

    static ConversionError exportFailed(const std::string& reason);
    static ConversionError exportSessionCreationFailed();

    Kind kind() const { return kind_; }

    /// "変換に失敗しました: " + the reason, or "AVAssetExportSession の作成に失敗しました".
    std::string description() const override;
    /// exportFailed("…"), or the bare case name for the case without a payload.
    std::string textualForm() const override;
    /// The description.
    const char* what() const noexcept override { return description_.c_str(); }

private:
    ConversionError(Kind kind, const std::string& caseName, const std::string& message);

    Kind kind_;
    std::string description_;
};

} // namespace velmora
