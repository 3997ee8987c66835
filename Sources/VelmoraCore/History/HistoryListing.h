#pragma once
// The history of past recordings read from the save folder, and the texts the history shows for them.
// It only reads: nothing in the save folder is written, renamed or deleted, and no failure is reported
// — each falls back to a text or leaves the entry out.

#include "VelmoraCore/History/HistorySession.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class HistoryListing {
public:
    static constexpr const char* transcriptFileName = "transcript.txt";

    static constexpr const char* noRecordingsText = "まだ文字起こしの記録がありません。";
    static constexpr const char* emptyPreviewText = "（内容なし）";
    static constexpr const char* unreadableTranscriptText = "（文字起こしファイルを読み込めませんでした）";
    static constexpr const char* emptyTranscriptText = "（文字起こし結果が空です）";

    /// Earlier than any real date (0001-01-01 00:00 UTC): where a folder without a date goes.
    static const HistoryDate distantPast;

    /// The folders directly inside `saveDirectory` that are not hidden and hold "transcript.txt" (by
    /// existence, whatever it is), newest first; equal dates keep the listing's order. A save folder
    /// that is missing or cannot be read gives no sessions.
    static std::vector<HistorySession> loadSessions(const std::filesystem::path& saveDirectory);

    /// The transcript's first non-empty line, "（内容なし）" when it has none, or the empty string when
    /// it cannot be read.
    static std::string previewText(const HistorySession& session);

    /// A copy of `session` holding its transcript, or the text saying it could not be read.
    static HistorySession select(const HistorySession& session);

    /// What the detail shows: the transcript, or "（文字起こし結果が空です）" when there is none.
    static std::string detailText(const HistorySession& session);
    /// Whether there is a transcript to copy.
    static bool canCopy(const HistorySession& session);

    /// "yyyy/MM/dd HH:mm" in local time.
    static std::string dateText(HistoryDate date);

    /// The whole of the folder's "transcript.txt" when it is a regular file of valid UTF-8.
    static std::optional<std::string> readTranscript(const std::filesystem::path& folder);
};

} // namespace velmora
