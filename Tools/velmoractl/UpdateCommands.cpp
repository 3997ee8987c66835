// velmoractl update check --feed URL --current VERSION [--scheduled [--focused]]: one update check as the
// application runs it, printing each event on its own line: the user driver's decisions with their
// answers, every change of canCheckForUpdates and of the store's pending update, and the dialog's
// contents. --scheduled runs the background check at once; --focused has a window of ours active then.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "ToolOutput.h"
#include "VelmoraCore/PlainMainLoop.h"
#include "VelmoraCore/Updates/GentleUpdateDelegate.h"
#include "VelmoraCore/Updates/Updater.h"

#include <stdexcept>

namespace {

using velmoractl::JsonObject;
using velmoractl::UsageError;

std::string itemJson(const desktop::UpdateItem& item) {
    return JsonObject()
        .string("version", item.version().text())
        .string("displayVersion", item.displayVersionString())
        .string("url", item.url())
        .text();
}

JsonObject event(std::string_view name) {
    return std::move(JsonObject().string("event", name));
}

// Answers as the application's delegate does and prints each question with its answer.
class PrintingDelegate final : public velmora::UpdateUserDriverDelegate {
public:
    explicit PrintingDelegate(velmora::GentleUpdateDelegate& answering) : answering_(answering) {}

    bool supportsGentleScheduledUpdateReminders() override {
        const bool answer = answering_.supportsGentleScheduledUpdateReminders();
        velmoractl::printLine(event("supportsGentleScheduledUpdateReminders").boolean("answer", answer));
        return answer;
    }
    bool standardUserDriverShouldHandleShowingScheduledUpdate(const desktop::UpdateItem& update,
                                                              bool immediateFocus) override {
        const bool answer =
            answering_.standardUserDriverShouldHandleShowingScheduledUpdate(update, immediateFocus);
        velmoractl::printLine(
            event("standardUserDriverShouldHandleShowingScheduledUpdate:andInImmediateFocus:")
                .raw("update", itemJson(update))
                .boolean("immediateFocus", immediateFocus)
                .boolean("answer", answer));
        return answer;
    }
    void standardUserDriverWillHandleShowingUpdate(bool handleShowingUpdate,
                                                   const desktop::UpdateItem& update,
                                                   const velmora::UserUpdateState& state) override {
        velmoractl::printLine(event("standardUserDriverWillHandleShowingUpdate:forUpdate:state:")
                                  .boolean("handleShowingUpdate", handleShowingUpdate)
                                  .raw("update", itemJson(update))
                                  .boolean("userInitiated", state.userInitiated));
        answering_.standardUserDriverWillHandleShowingUpdate(handleShowingUpdate, update, state);
    }
    void standardUserDriverDidReceiveUserAttentionForUpdate(const desktop::UpdateItem& update) override {
        velmoractl::printLine(
            event("standardUserDriverDidReceiveUserAttentionForUpdate:").raw("update", itemJson(update)));
        answering_.standardUserDriverDidReceiveUserAttentionForUpdate(update);
    }

private:
    velmora::GentleUpdateDelegate& answering_;
};

class PrintingPresenter final : public velmora::UpdatePresenter {
public:
    void show(const velmora::UpdateNotice& notice) override {
        velmoractl::JsonArray buttons;
        for (const std::string& button : notice.buttons()) {
            buttons.string(button);
        }
        velmoractl::printLine(
            event("dialog").string("message", notice.message).raw("buttons", buttons.text()));
    }
};

int check(const velmoractl::Arguments& arguments) {
    bool scheduled = false;
    bool focused = false;
    velmoractl::Arguments options;
    for (const std::string& word : arguments) {
        if (word == "--scheduled" && !scheduled) {
            scheduled = true;
        } else if (word == "--focused" && !focused) {
            focused = true;
        } else {
            options.push_back(word);
        }
    }
    const velmoractl::CommandLine line(options, {"--feed", "--current"});
    if (!line.positional().empty() || (focused && !scheduled)) {
        throw UsageError("update check takes --feed URL --current VERSION [--scheduled [--focused]]");
    }
    const std::string feed = line.requiredOption("--feed");
    const std::string currentText = line.requiredOption("--current");
    try {
        desktop::UpdateFeedReader{feed};
    } catch (const std::invalid_argument& error) {
        throw UsageError(error.what());
    }
    const auto current = desktop::UpdateVersion::parse(currentText);
    if (!current) {
        throw UsageError("--current needs dot-separated numbers, not \"" + currentText + "\"");
    }

    velmora::PlainMainLoop loop;
    auto store = std::make_shared<velmora::UpdateAvailabilityStore>();
    velmora::GentleUpdateDelegate gentle(store, loop);
    PrintingDelegate delegate(gentle);
    PrintingPresenter presenter;
    velmora::StandardUserDriver driver(delegate, presenter);
    velmora::Updater updater(loop, {feed, *current, [focused] { return focused; }, {}}, driver);

    std::optional<std::string> printedPending;
    store->pendingUpdate().subscribe([&printedPending](const std::optional<desktop::UpdateItem>& update) {
        std::optional<std::string> now = update ? std::optional(itemJson(*update)) : std::nullopt;
        if (now == printedPending) {
            return; // written again without a change
        }
        printedPending = now;
        velmoractl::printLine(event("pendingUpdate").raw("value", now.value_or("null")));
    });
    bool checking = false;
    updater.canCheckForUpdates().subscribe([&](const bool& canCheck) {
        velmoractl::printLine(event("canCheckForUpdates").boolean("value", canCheck));
        if (!canCheck) {
            checking = true;
        } else if (checking) {
            loop.post([&loop] { loop.quit(); }); // after the store writes the check has posted
        }
    });

    updater.start();
    if (scheduled) {
        updater.checkForUpdatesInBackground();
    } else {
        updater.checkForUpdates();
    }
    loop.run();
    return velmoractl::exitSuccess;
}

int run(const velmoractl::Arguments& arguments) {
    if (arguments.empty() || arguments[0] != "check") {
        throw UsageError(arguments.empty() ? "missing command" : "unknown command update " + arguments[0]);
    }
    return check(velmoractl::Arguments(arguments.begin() + 1, arguments.end()));
}

const bool registered = velmoractl::registerCommandGroup(
    {"update", "update check --feed URL --current VERSION [--scheduled [--focused]]", run});

} // namespace
