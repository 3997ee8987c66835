#include "Platform/Audio/Pulse/PulseServerQueries.h"

#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"

#include <pulse/def.h>
#include <pulse/introspect.h>
#include <pulse/proplist.h>
#include <unordered_map>

namespace audio {

namespace {

// What a listing callback fills in on the loop thread; read by the caller after the operation ends.
template <typename Item> struct Listing {
    PulseContext* context = nullptr;
    std::vector<Item> items;
    bool failed = false;
};

// A device as listed, with the index of the module that made it until the module's name is known.
struct ListedDevice {
    PulseDevice device;
    uint32_t module = PA_INVALID_INDEX;
};

std::map<std::string, std::string> propertiesOf(const pa_proplist* list) {
    std::map<std::string, std::string> properties;
    void* state = nullptr;
    while (const char* key = pa_proplist_iterate(list, &state)) {
        // Binary values have no string form and nothing here needs them.
        if (const char* value = pa_proplist_gets(list, key)) {
            properties.emplace(key, value);
        }
    }
    return properties;
}

std::string textOrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

// One callback for every listing: collects each item, notes a failure, and wakes the caller at the end.
template <typename Info, typename Item, Item (*convert)(const Info*)>
void onItem(pa_context*, const Info* info, int eol, void* userdata) {
    auto* listing = static_cast<Listing<Item>*>(userdata);
    if (eol < 0) {
        listing->failed = true;
    } else if (eol == 0) {
        listing->items.push_back(convert(info));
    }
    if (eol != 0) {
        listing->context->signal();
    }
}

using ModuleName = std::pair<uint32_t, std::string>;

ModuleName moduleFrom(const pa_module_info* info) {
    return {info->index, textOrEmpty(info->name)};
}

// What sinks and sources tell alike.
template <typename Info> ListedDevice deviceFrom(PulseDevice::Kind kind, const Info* info) {
    PulseDevice device;
    device.kind = kind;
    device.index = info->index;
    device.name = textOrEmpty(info->name);
    device.description = textOrEmpty(info->description);
    device.sampleRate = info->sample_spec.rate;
    device.channels = info->sample_spec.channels;
    device.activePortName = info->active_port != nullptr ? textOrEmpty(info->active_port->name) : "";
    device.driver = textOrEmpty(info->driver);
    device.properties = propertiesOf(info->proplist);
    return {std::move(device), info->owner_module};
}

ListedDevice sinkFrom(const pa_sink_info* info) {
    ListedDevice listed = deviceFrom(PulseDevice::Kind::sink, info);
    listed.device.monitorSourceName = textOrEmpty(info->monitor_source_name);
    return listed;
}

ListedDevice sourceFrom(const pa_source_info* info) {
    ListedDevice listed = deviceFrom(PulseDevice::Kind::source, info);
    // PipeWire marks monitors by class rather than by the sink they belong to.
    listed.device.isMonitor =
        info->monitor_of_sink != PA_INVALID_INDEX || listed.device.property("device.class") == "monitor";
    return listed;
}

PulseSinkInput sinkInputFrom(const pa_sink_input_info* info) {
    return {info->index, info->sink, info->corked != 0, textOrEmpty(info->name)};
}

constexpr auto onModule = onItem<pa_module_info, ModuleName, moduleFrom>;
constexpr auto onSink = onItem<pa_sink_info, ListedDevice, sinkFrom>;
constexpr auto onSource = onItem<pa_source_info, ListedDevice, sourceFrom>;
constexpr auto onSinkInput = onItem<pa_sink_input_info, PulseSinkInput, sinkInputFrom>;

void onServer(pa_context*, const pa_server_info* info, void* userdata) {
    auto* listing = static_cast<Listing<PulseServerInfo>*>(userdata);
    if (info == nullptr) {
        listing->failed = true;
    } else {
        listing->items.push_back(
            PulseServerInfo{textOrEmpty(info->server_name), textOrEmpty(info->server_version),
                            textOrEmpty(info->default_sink_name), textOrEmpty(info->default_source_name)});
    }
    listing->context->signal();
}

void onSuccess(pa_context*, int success, void* userdata) {
    auto* listing = static_cast<Listing<int>*>(userdata);
    listing->failed = success == 0;
    listing->context->signal();
}

// Runs one listing operation to its end under the loop's lock and throws when the server refused it.
template <typename Item, typename Start>
std::vector<Item> collect(PulseContext& context, const char* call, Start start) {
    context.requireOffLoopThread(call);
    Listing<Item> listing;
    listing.context = &context;
    PulseContext::Lock lock(context);
    if (!context.isConnected()) {
        throw PulseError(call, context.lastError());
    }
    context.await(start(context.context(), &listing), call);
    if (listing.failed) {
        throw PulseError(call, context.lastError());
    }
    return std::move(listing.items);
}

std::vector<PulseDevice> withModuleNames(PulseContext& context, std::vector<ListedDevice> listed) {
    auto modules =
        collect<ModuleName>(context, "pa_context_get_module_info_list", [](pa_context* c, auto* listing) {
            return pa_context_get_module_info_list(c, onModule, listing);
        });
    std::unordered_map<uint32_t, std::string> names(modules.begin(), modules.end());
    std::vector<PulseDevice> devices;
    devices.reserve(listed.size());
    for (auto& [device, module] : listed) {
        auto found = names.find(module);
        device.moduleName = found != names.end() ? found->second : "";
        devices.push_back(std::move(device));
    }
    return devices;
}

// One device by a lookup that answers with at most one.
template <typename Start> PulseDevice readOne(PulseContext& context, const char* call, Start start) {
    auto found = collect<ListedDevice>(context, call, start);
    if (found.empty()) {
        throw PulseError(call, PA_ERR_NOENTITY);
    }
    return withModuleNames(context, std::move(found)).front();
}

} // namespace

std::vector<PulseDevice> listSinks(PulseContext& context) {
    auto sinks =
        collect<ListedDevice>(context, "pa_context_get_sink_info_list", [](pa_context* c, auto* listing) {
            return pa_context_get_sink_info_list(c, onSink, listing);
        });
    return withModuleNames(context, std::move(sinks));
}

std::vector<PulseDevice> listSources(PulseContext& context) {
    auto sources =
        collect<ListedDevice>(context, "pa_context_get_source_info_list", [](pa_context* c, auto* listing) {
            return pa_context_get_source_info_list(c, onSource, listing);
        });
    return withModuleNames(context, std::move(sources));
}

PulseDevice readSink(PulseContext& context, uint32_t index) {
    return readOne(context, "pa_context_get_sink_info_by_index", [&](pa_context* c, auto* listing) {
        return pa_context_get_sink_info_by_index(c, index, onSink, listing);
    });
}

PulseDevice readSource(PulseContext& context, uint32_t index) {
    return readOne(context, "pa_context_get_source_info_by_index", [&](pa_context* c, auto* listing) {
        return pa_context_get_source_info_by_index(c, index, onSource, listing);
    });
}

std::vector<PulseSinkInput> listSinkInputs(PulseContext& context) {
    return collect<PulseSinkInput>(context, "pa_context_get_sink_input_info_list", [](pa_context* c, auto* listing) {
        return pa_context_get_sink_input_info_list(c, onSinkInput, listing);
    });
}

PulseServerInfo readServerInfo(PulseContext& context) {
    auto answers =
        collect<PulseServerInfo>(context, "pa_context_get_server_info", [](pa_context* c, auto* listing) {
            return pa_context_get_server_info(c, onServer, listing);
        });
    return answers.empty() ? PulseServerInfo{} : answers.front();
}

void setDefaultSink(PulseContext& context, const std::string& sinkName) {
    collect<int>(context, "pa_context_set_default_sink", [&](pa_context* c, auto* listing) {
        return pa_context_set_default_sink(c, sinkName.c_str(), onSuccess, listing);
    });
}

} // namespace audio
