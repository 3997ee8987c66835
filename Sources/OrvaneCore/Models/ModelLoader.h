#pragma once
// What a model manager delegates: finding or fetching a model set, loading it (for use, or once so the
// runtime prepares it for this machine) and releasing it. The manager only decides which of these may
// run and what its state becomes; everything that touches files or the runtime lives behind this.

#include <functional>
#include <optional>
#include <string>

namespace orvane {

class ModelDownloader;
class Progress;

class ModelLoader {
public:
    using ProgressCallback = std::function<void(const Progress&)>;

    virtual ~ModelLoader() = default;

    /// A local folder that already holds the models, or nothing when they must be resolved first.
    virtual std::optional<std::string> modelFolder() const = 0;

    /// May block while fetching. Returns the path of the local folder holding the models.
    virtual std::string resolveModels(ModelDownloader& downloader,
                                      const ProgressCallback& progressCallback) = 0;

    /// With `prewarm` the models are loaded once for the runtime to specialise them, and not kept.
    virtual void load(const std::string& folder, bool prewarm) = 0;

    /// Releases the loaded models; cannot fail.
    virtual void unload() noexcept = 0;
};

} // namespace orvane
