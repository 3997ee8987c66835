#include "Decode/FolderDecoder.h"

#include "Models/TokenizerFolder.h"
#include "OrvaneCore/Models/ModelUtilities.h"
#include "Sonavex/Core/Models/ModelVariant.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Models/ModelUtilities.h"

namespace sonavex::tool {

std::shared_ptr<TextDecoder> loadFolderDecoder(const std::string& folder) {
    auto decoder = std::make_shared<TextDecoder>();
    decoder->loadModel(orvane::ModelUtilities::detectModelURL(folder, "TextDecoder"),
                       ml::ComputeUnits::cpuOnly, false);
    decoder->setTokenizer(loadTokenizerFolder(folder));
    const std::optional<int64_t> logitsSize = decoder->logitsSize();
    const std::optional<int64_t> embedSize = decoder->embedSize();
    if (!logitsSize || !embedSize) {
        throw WhisperError::modelsUnavailable("The decoder model has no \"logits\" output or no "
                                              "\"encoder_output_embeds\" input");
    }
    decoder->setIsModelMultilingual(isMultilingual(ModelUtilities::detectVariant(*logitsSize, *embedSize)));
    return decoder;
}

} // namespace sonavex::tool
