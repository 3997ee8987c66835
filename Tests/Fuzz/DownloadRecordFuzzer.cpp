// Download records (".metadata" files of the local mirror): a record is read, or a damaged one is
// removed and read as nothing; a record that was read writes back and reads back the same.

#include "Fuzz/FuzzSupport.h"
#include "OrvaneCore/External/Hub/Client/HubApi.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const orvane::HubApi hub(fuzz::scratchFolder(), std::string(""));
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto path = fuzz::writeScratch("model.bin.metadata", text);
    std::optional<orvane::HubApi::LocalDownloadFileMetadata> record;
    try {
        record = hub.readDownloadMetadata(path);
    } catch (const orvane::HubEnvironmentError&) {
        std::abort(); // a damaged record file can always be removed
    }
    if (!record) {
        if (std::filesystem::exists(path)) {
            std::abort(); // read as nothing, yet left behind
        }
        return 0;
    }
    hub.writeDownloadMetadata(record->commitHash, record->etag, path);
    const auto reread = hub.readDownloadMetadata(path);
    if (!reread || reread->commitHash != record->commitHash || reread->etag != record->etag) {
        std::abort();
    }
    // The same text as the header values a hub answer carries.
    (void)orvane::HubApi::normalizeEtag(text);
    (void)orvane::HubApi::parseSize(text);
    return 0;
}
