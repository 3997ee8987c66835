#include "Velmora/Panel/PanelTexts.h"

#include <cmath>
#include <limits>

namespace velmora::app::texts {

std::int64_t wholeNumber(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    // 2^63 is exactly representable; anything at or beyond it would overflow the conversion.
    constexpr double limit = 9223372036854775808.0;
    if (value >= limit) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (value < -limit) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(value);
}

std::string updateAvailable(const std::string& displayVersion) {
    return "新しいバージョン " + displayVersion + " が利用可能です";
}

std::string lowQualityMic(double sampleRate) {
    return "マイクが低音質モード（" + std::to_string(wholeNumber(sampleRate)) +
           "Hz）で動作しています。Bluetoothデバイスをマイクとして使うと自動でこうなり、文字起こし精度が落ちます。"
           "サウンド設定の「入力」で内蔵マイクなど別の入力に切り替えることを推奨します（出力はBluetoothのままで構いません）。";
}

std::string downloadPercent(double fraction) {
    return std::to_string(wholeNumber(fraction * 100)) + "%";
}

std::string micInUse(const std::string& inputName) {
    return "録音に使うマイク: " + inputName;
}

std::string transcriptionStatusText(const std::string& transcriptProgress, int pendingTranscriptions) {
    const int others = pendingTranscriptions - 1;
    std::string base = transcriptProgress.empty() ? std::string(transcribing) : transcriptProgress;
    if (others >= 1) {
        base += "（他" + std::to_string(others) + "件待機中）";
    }
    return base;
}

} // namespace velmora::app::texts
