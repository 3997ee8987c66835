#include "Platform/ML/Model/ModelKindRegistry.h"

#include "Platform/ML/Whisper/AudioEncoderModel.h"
#include "Platform/ML/Whisper/MelSpectrogramModel.h"
#include "Platform/ML/Model/ModelLoadError.h"
#include "Platform/ML/Whisper/ScriptedTextDecoderModel.h"
#include "Platform/ML/Whisper/TextDecoderModel.h"

namespace ml {

void registerBuiltinModelKinds(ModelKindRegistry& registry) {
    registry.add(MelSpectrogramModel::kKind, [](const ModelFolder& folder, const ModelConfiguration&) {
        return std::make_unique<MelSpectrogramModel>(folder);
    });
    registry.add(AudioEncoderModel::kKind,
                 [](const ModelFolder& folder, const ModelConfiguration& configuration) {
                     return std::make_unique<AudioEncoderModel>(folder, configuration.computeUnits);
                 });
    registry.add(TextDecoderModel::kKind,
                 [](const ModelFolder& folder, const ModelConfiguration& configuration) {
                     return std::make_unique<TextDecoderModel>(folder, configuration.computeUnits);
                 });
    registry.add(ScriptedTextDecoderModel::kKind, [](const ModelFolder& folder, const ModelConfiguration&) {
        return std::make_unique<ScriptedTextDecoderModel>(folder);
    });
}

ModelKindRegistry& ModelKindRegistry::shared() {
    static ModelKindRegistry* registry = [] {
        auto* made = new ModelKindRegistry();
        registerBuiltinModelKinds(*made);
        return made;
    }();
    return *registry;
}

void ModelKindRegistry::add(const std::string& kind, ModelKindFactory factory) {
    std::lock_guard lock(mutex_);
    factories_.insert_or_assign(kind, std::move(factory));
}

bool ModelKindRegistry::contains(const std::string& kind) const {
    std::lock_guard lock(mutex_);
    return factories_.count(kind) != 0;
}

std::vector<std::string> ModelKindRegistry::kinds() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const auto& entry : factories_) {
        names.push_back(entry.first);
    }
    return names;
}

std::unique_ptr<ModelKind> ModelKindRegistry::create(const ModelFolder& folder,
                                                     const ModelConfiguration& configuration) const {
    ModelKindFactory factory;
    {
        std::lock_guard lock(mutex_);
        auto found = factories_.find(folder.kind());
        if (found == factories_.end()) {
            std::string known;
            for (const auto& entry : factories_) {
                known += (known.empty() ? "" : ", ") + entry.first;
            }
            throw ModelLoadError(folder.location(), "unknown model kind \"" + folder.kind() + "\" (known: " + known + ")");
        }
        factory = found->second;
    }
    try {
        return factory(folder, configuration);
    } catch (const ModelLoadError&) {
        throw;
    } catch (const std::exception& error) {
        throw ModelLoadError(folder.location(), error.what());
    }
}

} // namespace ml
