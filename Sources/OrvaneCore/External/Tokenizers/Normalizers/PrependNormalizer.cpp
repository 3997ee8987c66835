#include "OrvaneCore/External/Tokenizers/Normalizers/PrependNormalizer.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"

namespace orvane {

PrependNormalizer::PrependNormalizer(const Config& config) : prepend_(config["prepend"].string().value_or("")) {}

} // namespace orvane
