#pragma once
// One past recording in the history: a folder inside the save folder that holds "transcript.txt".

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace velmora {

/// Microseconds keep a folder's modification time as precise as the sort needs and still reach back
/// to the distant past.
using HistoryDate = std::chrono::sys_time<std::chrono::microseconds>;

struct HistorySession {
    /// The folder's name, unique within the save folder.
    std::string id;
    std::filesystem::path folder;
    /// The start its name stands for, else the folder's modification time, else the distant past.
    HistoryDate date;
    /// Absent in the list; the transcript (or the text saying it could not be read) once selected.
    std::optional<std::string> transcriptText;
};

} // namespace velmora
