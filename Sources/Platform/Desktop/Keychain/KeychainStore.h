#pragma once
// One secret of the application kept by the desktop's secret store, so that it outlives the process.
// No operation reports a failure: a store that refuses leaves the secret unsaved without notice, and the
// next load() answers nothing. Every operation blocks until the store has answered and may be called
// from any thread.

#include <optional>
#include <string>

namespace desktop {

class KeychainStore {
public:
    virtual ~KeychainStore() = default;

    /// The stored secret; nothing when there is none, the store cannot be reached, or its bytes are not
    /// UTF-8.
    virtual std::optional<std::string> load() const = 0;
    /// Replaces the stored secret: whatever is stored is deleted first, then the new item is added, so at
    /// most one item remains.
    virtual void save(const std::string& secret) = 0;
    /// Deletes the item if there is one ("delete" is a keyword).
    virtual void remove() = 0;
};

} // namespace desktop
