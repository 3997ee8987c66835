// velmoractl keychain: the sign-in's refresh token in the desktop's secret store. Every command prints
// what the store holds afterwards, {"token": TOKEN} or {"token": null}, so a store that refused a write
// shows it.

#include "CommandGroup.h"
#include "ToolOutput.h"
#include "VelmoraCore/Auth/RefreshTokenKeychain.h"

namespace {

using velmoractl::UsageError;

int run(const velmoractl::Arguments& arguments) {
    if (arguments.empty()) {
        throw UsageError("missing command");
    }
    const std::string& command = arguments[0];
    const std::size_t expected = command == "save" ? 2 : 1;
    if (command != "load" && command != "save" && command != "delete") {
        throw UsageError("unknown command keychain " + command);
    }
    if (arguments.size() != expected) {
        throw UsageError("wrong number of arguments for keychain " + command);
    }
    auto keychain = velmora::refreshTokenKeychain();
    if (command == "save") {
        keychain->save(arguments[1]);
    } else if (command == "delete") {
        keychain->remove();
    }
    velmoractl::printLine(velmoractl::JsonObject().optionalString("token", keychain->load()));
    return velmoractl::exitSuccess;
}

const bool registered = velmoractl::registerCommandGroup({"keychain",
                                                          "keychain load\n"
                                                          "keychain save TOKEN\n"
                                                          "keychain delete",
                                                          run});

} // namespace
