#pragma once
// The table of model kinds by their model.json "kind" name. The built-in kinds are registered when the
// shared registry is first used (no static-initialiser tricks that a static library would drop);
// tests may add their own kinds.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/ML/Files/ModelFolder.h"
#include "Platform/ML/Model/ModelKind.h"

namespace ml {

class ModelKindRegistry {
public:
    /// The process-wide registry, holding the built-in kinds.
    static ModelKindRegistry& shared();

    /// Adds a kind or replaces the factory of an existing one.
    void add(const std::string& kind, ModelKindFactory factory);
    bool contains(const std::string& kind) const;
    std::vector<std::string> kinds() const;

    /// Builds the folder's kind; throws ModelLoadError for an unknown kind or anything the factory rejects.
    std::unique_ptr<ModelKind> create(const ModelFolder& folder,
                                      const ModelConfiguration& configuration = {}) const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, ModelKindFactory> factories_;
};

/// Registers every kind this runtime ships with.
void registerBuiltinModelKinds(ModelKindRegistry& registry);

} // namespace ml
