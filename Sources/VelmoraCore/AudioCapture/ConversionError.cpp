#include "VelmoraCore/AudioCapture/ConversionError.h"

namespace velmora {

ConversionError::ConversionError(Kind kind, const std::string& caseName, const std::string& message)
    : AppError(caseName, message), kind_(kind),
      description_(kind == Kind::exportFailed ? "変換に失敗しました: " + message
                                              : "AVAssetExportSession の作成に失敗しました") {}

ConversionError ConversionError::exportFailed(const std::string& reason) {
    return ConversionError(Kind::exportFailed, "exportFailed", reason);
}

ConversionError ConversionError::exportSessionCreationFailed() {
    return ConversionError(Kind::exportSessionCreationFailed, "exportSessionCreationFailed", "");
}

std::string ConversionError::description() const { return description_; }

std::string ConversionError::textualForm() const {
    return kind_ == Kind::exportFailed ? AppError::textualForm() : caseName();
}

} // namespace velmora
