#pragma once
// Where a set of models stands: being fetched, on disk, being specialised for the machine, in memory, or
// released. Busy states are the ones in even positions, each followed by the state it settles in.

#include <ostream>
#include <string>

namespace orvane {

enum class ModelState {
    unloading,
    unloaded,
    loading,
    loaded,
    prewarming,
    prewarmed,
    downloading,
    downloaded,
};

/// The display text: "Unloading", "Unloaded", "Loading", "Loaded", "Specializing", "Specialized",
/// "Downloading", "Downloaded".
std::string description(ModelState state);

/// True for unloading, loading, prewarming and downloading.
bool isBusy(ModelState state);

std::ostream& operator<<(std::ostream& stream, ModelState state);

} // namespace orvane
