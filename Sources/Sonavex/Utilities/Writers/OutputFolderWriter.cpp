#include "Sonavex/Utilities/Writers/OutputFolderWriter.h"

#include "OrvaneCore/External/Hub/Files/AtomicFile.h"
#include "Platform/Net/Url.h"

#include <filesystem>

namespace sonavex {

Result<std::string> OutputFolderWriter::writeFile(const std::string& name,
                                                  const std::string& contents) const {
    try {
        const std::filesystem::path target = std::filesystem::path(outputDir_) / name;
        orvane::AtomicFile::write(target, contents);
        return Result<std::string>::success(net::fileUrlString(target));
    } catch (...) {
        return Result<std::string>::currentFailure();
    }
}

} // namespace sonavex
