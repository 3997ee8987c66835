#include "OrvaneCore/Models/ModelManager.h"

#include "OrvaneCore/Errors/ErrorDescription.h"
#include "OrvaneCore/Errors/OrvaneCoreError.h"
#include "OrvaneCore/Logging/Logging.h"

#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <future>
#include <stdexcept>
#include <thread>
#include <typeinfo>

namespace orvane {

namespace {

using Type = Logging::LogType;

/// One line "[<logger name>] <text>", a single item as every model-management line is.
void log(Type type, const std::string& loggerName, const std::string& text) {
    Logging::shared().log(type, {}, "[" + loggerName + "] " + text);
}

/// "ns::Outer::Name" → "Name"; qualifiers inside template arguments or parameter lists are kept.
std::string unqualifiedName(const std::string& name) {
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < name.size(); ++i) {
        char c = name[i];
        if (c == '<' || c == '(') {
            ++depth;
        } else if (c == '>' || c == ')') {
            --depth;
        } else if (depth == 0 && c == ':' && name[i + 1] == ':') {
            start = i + 2;
            ++i;
        }
    }
    return name.substr(start);
}

std::string demangledTypeName(const std::type_info& type) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : type.name();
    std::free(demangled);
    return name;
}

/// Relative folders are taken against the working folder, as a file URL made from a path would be.
std::filesystem::path asFileURL(const std::string& path) {
    std::filesystem::path result = std::filesystem::absolute(path);
    while (result.has_relative_path() && !result.has_filename()) {
        result = result.parent_path(); // "a/b/" names the same folder as "a/b"
    }
    return result;
}

} // namespace

// Makes ensureModelsLoaded() single-flight: the first caller starts a run on its own thread, every
// caller arriving while it runs waits for the same outcome. The run clears itself before its outcome is
// published, so a caller arriving after a failure starts a fresh run instead of inheriting the old error.
class ModelManager::LoadModelsCoordinator : public std::enable_shared_from_this<LoadModelsCoordinator> {
public:
    void run(std::function<void()> operation) {
        std::shared_future<void> flight;
        {
            std::lock_guard lock(mutex_);
            if (!inflightLoad_.valid()) {
                auto promise = std::make_shared<std::promise<void>>();
                auto newFlight = promise->get_future().share();
                // The thread holds the coordinator, so a waiter giving up never strands the run. It cannot
                // clear the slot before it is filled below (it needs the lock held here), and when no
                // thread can be started the slot stays empty instead of holding a run that never ends.
                std::thread([self = shared_from_this(), promise, operation = std::move(operation)] {
                    std::exception_ptr failure;
                    try {
                        operation();
                    } catch (...) {
                        failure = std::current_exception();
                    }
                    {
                        std::lock_guard lock(self->mutex_);
                        self->inflightLoad_ = {};
                    }
                    if (failure) {
                        promise->set_exception(failure);
                    } else {
                        promise->set_value();
                    }
                }).detach();
                inflightLoad_ = std::move(newFlight);
            }
            flight = inflightLoad_;
        }
        flight.get();
    }

private:
    std::mutex mutex_;
    std::shared_future<void> inflightLoad_;
};

ModelManager::ModelManager(std::shared_ptr<ModelLoader> loader, std::shared_ptr<ModelDownloader> downloader)
    : downloader_(std::move(downloader)), loader_(std::move(loader)),
      coordinator_(std::make_shared<LoadModelsCoordinator>()) {
    if (!loader_) {
        throw std::invalid_argument("ModelManager needs a model loader");
    }
    if (!downloader_) {
        throw std::invalid_argument("ModelManager needs a model downloader");
    }
}

ModelManager::~ModelManager() = default;

ModelState ModelManager::modelState() const {
    std::lock_guard lock(mutex_);
    return modelState_;
}

ModelManager::StateCallback ModelManager::modelStateCallback() const {
    std::lock_guard lock(mutex_);
    return modelStateCallback_ ? *modelStateCallback_ : StateCallback{};
}

void ModelManager::setModelStateCallback(StateCallback callback) {
    auto stored = callback ? std::make_shared<const StateCallback>(std::move(callback)) : nullptr;
    std::lock_guard lock(mutex_);
    modelStateCallback_ = std::move(stored);
}

std::optional<std::filesystem::path> ModelManager::modelPath() const {
    std::lock_guard lock(mutex_);
    return modelPath_;
}

std::optional<std::filesystem::path> ModelManager::modelFolder() const {
    auto folder = loader_->modelFolder();
    if (!folder) {
        return std::nullopt;
    }
    return asFileURL(*folder);
}

bool ModelManager::isAvailable() const {
    auto state = modelState();
    return state == ModelState::loading || state == ModelState::loaded || state == ModelState::downloaded;
}

bool ModelManager::isLoaded() const {
    return modelState() == ModelState::loaded;
}

std::string ModelManager::loggerName() const {
    std::call_once(loggerNameOnce_,
                   [this] { loggerName_ = unqualifiedName(demangledTypeName(typeid(*this))); });
    return loggerName_;
}

void ModelManager::setModelState(ModelState state) {
    std::shared_ptr<const StateCallback> callback;
    ModelState old;
    {
        std::lock_guard lock(mutex_);
        old = modelState_;
        if (old == state) {
            return;
        }
        modelState_ = state;
        callback = modelStateCallback_;
    }
    if (callback) {
        (*callback)(old, state);
    }
}

void ModelManager::setModelPath(std::filesystem::path path) {
    std::lock_guard lock(mutex_);
    modelPath_ = std::move(path);
}

std::string ModelManager::settledFolder() const {
    if (auto path = modelPath()) {
        return path->string();
    }
    if (auto folder = ModelManager::modelFolder()) {
        return folder->string();
    }
    throw OrvaneCoreError::invalidConfiguration(
        "No model path available. Call downloadModels() first, or provide modelFolder.");
}

void ModelManager::downloadModels(const ProgressCallback& progressCallback) {
    auto state = modelState();
    if (state != ModelState::unloaded) {
        log(Type::debug, loggerName(),
            "Models already downloaded (state: " + description(state) + "), skipping download");
        return;
    }
    if (auto folder = ModelManager::modelFolder()) {
        log(Type::debug, loggerName(), "modelFolder is set, skipping download");
        setModelPath(*folder);
        setModelState(ModelState::downloaded);
        return;
    }
    log(Type::info, loggerName(), "Starting download process...");
    setModelState(ModelState::downloading);
    std::string path;
    try {
        path = loader_->resolveModels(*downloader_, progressCallback);
    } catch (...) {
        setModelState(ModelState::unloaded);
        log(Type::error, loggerName(), "Failed to download models: " + describeCurrentException());
        throw;
    }
    setModelPath(asFileURL(path));
    setModelState(ModelState::downloaded);
    log(Type::info, loggerName(), "Models downloaded to " + path);
}

void ModelManager::prewarmModels() {
    if (modelState() == ModelState::unloaded) {
        ModelManager::downloadModels();
    }
    auto folder = settledFolder();
    auto state = modelState();
    if (state == ModelState::prewarmed) {
        log(Type::debug, loggerName(), "Models already prewarmed, skipping");
        return;
    }
    if (state != ModelState::downloaded) {
        throw OrvaneCoreError::invalidConfiguration("Cannot prewarm in state: " + description(state));
    }
    loadThroughLoader(folder, true);
}

void ModelManager::loadModels() {
    if (modelState() == ModelState::unloaded) {
        ModelManager::downloadModels();
    }
    auto folder = settledFolder();
    auto state = modelState();
    if (state == ModelState::loaded) {
        log(Type::debug, loggerName(), "Models already loaded, skipping");
        return;
    }
    if (state != ModelState::downloaded && state != ModelState::prewarmed) {
        throw OrvaneCoreError::invalidConfiguration("Cannot load in state: " + description(state));
    }
    loadThroughLoader(folder, false);
}

void ModelManager::loadThroughLoader(const std::string& folder, bool prewarm) {
    setModelState(prewarm ? ModelState::prewarming : ModelState::loading);
    try {
        loader_->load(folder, prewarm);
    } catch (...) {
        setModelState(ModelState::unloaded);
        log(Type::error, loggerName(),
            std::string(prewarm ? "Failed to prewarm models: " : "Failed to load models: ") +
                describeCurrentException());
        throw;
    }
    setModelState(prewarm ? ModelState::prewarmed : ModelState::loaded);
    log(Type::info, loggerName(), prewarm ? "Models prewarmed successfully" : "Models loaded successfully");
}

void ModelManager::unloadModels() {
    auto state = modelState();
    if (state != ModelState::loaded && state != ModelState::prewarmed) {
        return;
    }
    setModelState(ModelState::unloading);
    loader_->unload();
    setModelState(ModelState::unloaded);
}

void ModelManager::ensureModelsLoaded() {
    if (modelState() == ModelState::loaded) {
        return;
    }
    coordinator_->run([this] {
        if (modelState() != ModelState::loaded) {
            ModelManager::downloadModels();
            ModelManager::loadModels();
        }
    });
}

} // namespace orvane
