#include "OrvaneCore/External/Hub/Files/AtomicFile.h"

#include "Platform/ML/Files/AtomicFileWriter.h"

namespace orvane {

void AtomicFile::write(const std::filesystem::path& file, std::string_view contents) {
    ml::AtomicFileWriter::writeFile(file, contents);
}

} // namespace orvane
