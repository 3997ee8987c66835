// velmoractl history: the past recordings as the history lists them, and one recording's text as its
// detail shows it. Reads only.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "ToolOutput.h"
#include "VelmoraCore/History/HistoryListing.h"
#include "VelmoraCore/Settings/AppSettings.h"

#include <algorithm>
#include <iostream>

namespace {

using velmora::HistoryListing;
using velmoractl::UsageError;

int list(const std::filesystem::path& folder) {
    for (const auto& session : HistoryListing::loadSessions(folder)) {
        velmoractl::printLine(velmoractl::JsonObject()
                                  .string("id", session.id)
                                  .string("date", HistoryListing::dateText(session.date))
                                  .string("preview", HistoryListing::previewText(session)));
    }
    return velmoractl::exitSuccess;
}

int show(const std::filesystem::path& folder, const std::string& id) {
    const auto sessions = HistoryListing::loadSessions(folder);
    const auto found = std::find_if(sessions.begin(), sessions.end(),
                                    [&](const velmora::HistorySession& session) { return session.id == id; });
    if (found == sessions.end()) {
        throw velmoractl::InputError("no recording \"" + id + "\" in " + folder.string());
    }
    const std::string text = HistoryListing::detailText(HistoryListing::select(*found));
    std::cout << text;
    if (!text.ends_with('\n')) {
        std::cout << '\n';
    }
    std::cout.flush();
    return velmoractl::exitSuccess;
}

int run(const velmoractl::Arguments& arguments) {
    const velmoractl::CommandLine line(arguments, {"--dir"});
    const std::filesystem::path folder =
        line.option("--dir").value_or(velmora::AppSettings::standardSaveDirectory().string());
    const auto& words = line.positional();
    if (words.empty()) {
        return list(folder);
    }
    if (words[0] != "show") {
        throw UsageError("unknown command history " + words[0]);
    }
    if (words.size() != 2) {
        throw UsageError(words.size() < 2 ? "history show needs an ID" : "unexpected argument " + words[2]);
    }
    return show(folder, words[1]);
}

const bool registered = velmoractl::registerCommandGroup({"history",
                                                          "history [--dir DIR]\n"
                                                          "history show ID [--dir DIR]",
                                                          run});

} // namespace
