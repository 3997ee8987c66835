#pragma once
// Every text the panel shows, in one table, and the texts made from values. Texts that point at the
// desktop name what a Linux user sees (this computer, the file manager, the sound settings).

#include "VelmoraCore/ModelSetup/ModelSetupPhase.h"

#include <cstdint>
#include <string>

namespace velmora::app::texts {

inline constexpr const char* appName = "ベルモラ";
inline constexpr const char* recordTab = "録音";
inline constexpr const char* historyTab = "履歴";

inline constexpr const char* install = "インストール…";

inline constexpr const char* micNotGranted = "マイクへのアクセスが許可されていません";
inline constexpr const char* grantMic = "マイクを許可…";
inline constexpr const char* screenNotGranted = "システムオーディオへのアクセスが許可されていません";
inline constexpr const char* grantScreen = "システムオーディオを許可…";
inline constexpr const char* recheck = "再確認";

inline constexpr const char* signInNeeded = "利用にはGoogleアカウントでのログインが必要です。";
inline constexpr const char* signIn = "Googleでログイン";
inline constexpr const char* signingIn = "ログイン中…";
inline constexpr const char* signInBrowserHint =
    "ブラウザでログインを完了すると自動的にこの画面へ戻ります。しばらく変化がない場合は、開いたブラウザのウィンドウを閉じてください。";

inline constexpr const char* setupPreparing = "文字起こしエンジンを準備しています…";
inline constexpr const char* setupDownloading = "文字起こしエンジンをダウンロード中…（約630MB、Wi-Fi推奨）";
inline constexpr const char* setupOptimizing = "このコンピュータ向けに最適化しています…";
inline constexpr const char* setupOptimizingNote = "初回のみ数分かかることがあります。次回以降はすぐに使えます。";
inline constexpr const char* setupFailed = "準備に失敗しました";
inline constexpr const char* retry = "再試行";

inline constexpr const char* micPicker = "マイク";
inline constexpr const char* automaticMic = "自動（Bluetoothなら内蔵マイク）";
inline constexpr const char* outputPicker = "出力";
inline constexpr const char* outputNote = "出力を変えるとこのコンピュータ全体の出力先が切り替わります。";

inline constexpr const char* builtInSpeakerWarning =
    "出力が内蔵スピーカーです。相手の声がマイクに回り込み、話者分離が崩れます。イヤホン/ヘッドホンの使用を推奨します（Bluetoothイヤホンでも、録音には自動で内蔵マイクを使うのでマイク音質は落ちません）。";
inline constexpr const char* bluetoothRedirectNote =
    "既定の入力がBluetoothのため、録音だけ自動的に内蔵マイクを使っています（出力はBluetoothのままです）。";

inline constexpr const char* startRecording = "録音開始";
inline constexpr const char* stopRecording = "録音停止";
inline constexpr const char* cancel = "キャンセル";
inline constexpr const char* meterLabel = "マイク";
inline constexpr const char* systemAudioNote = "システム音声: 録音中（レベル表示なし）";
inline constexpr const char* transcribing = "文字起こし中…";

inline constexpr const char* transcriptPlaceholder = "（文字起こし結果がここに表示されます）";
inline constexpr const char* copyAll = "全文コピー";
inline constexpr const char* openSaveFolder = "保存先をファイルマネージャで開く";

inline constexpr const char* pastTranscripts = "過去の文字起こし";
inline constexpr const char* back = "戻る";
inline constexpr const char* openInFileManager = "ファイルマネージャで開く";

/// Truncated toward zero; a value that is not finite is 0 and one beyond 64 bits is clamped, so no
/// reading can end the program.
std::int64_t wholeNumber(double value);

/// "新しいバージョン 1.2.0 が利用可能です".
std::string updateAvailable(const std::string& displayVersion);
/// The low-quality microphone warning with the rate in whole hertz.
std::string lowQualityMic(double sampleRate);
/// The download's percentage: "42%" for 0.426.
std::string downloadPercent(double fraction);
/// "録音に使うマイク: " and the name.
std::string micInUse(const std::string& inputName);
/// The progress text (or "文字起こし中…") and, behind it, how many more jobs wait.
std::string transcriptionStatusText(const std::string& transcriptProgress, int pendingTranscriptions);

} // namespace velmora::app::texts
