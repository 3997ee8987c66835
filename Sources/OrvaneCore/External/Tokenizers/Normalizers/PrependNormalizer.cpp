#include "OrvaneCore/External/Tokenizers/Normalizers/PrependNormalizer.h"

#include "OrvaneCore/External/Hub/Config.h"

namespace orvane {

PrependNormalizer::PrependNormalizer(const Config& config) : prepend_(config["prepend"].string().value_or("")) {}

} // namespace orvane
