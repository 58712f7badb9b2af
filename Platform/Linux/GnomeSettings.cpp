#include "GnomeSettings.h"

#include <dlfcn.h>
#include <gio/gio.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace dusk::backend {
namespace {

constexpr const char* schemaId = "org.gnome.desktop.interface";
constexpr const char* key = "color-scheme";

// GIO, with GObject and the libraries they bring, costs a Qt program a tenth
// of its start-up time and memory. Reading GNOME's setting needs none of it
// (dconf's files are read directly), so GIO is loaded by the first write.
class Gio final {
public:
    // None, with `problem` saying why, when the library cannot be loaded.
    static const Gio* load(std::string& problem) {
        static Gio gio;
        static const std::string failure = gio.complete() ? std::string() : loadError();
        problem = failure;
        return failure.empty() ? &gio : nullptr;
    }

    decltype(&g_object_unref) objectUnref = nullptr;
    decltype(&g_signal_connect_data) signalConnectData = nullptr;
    decltype(&g_settings_schema_source_get_default) schemaSourceGetDefault = nullptr;
    decltype(&g_settings_schema_source_lookup) schemaSourceLookup = nullptr;
    decltype(&g_settings_schema_has_key) schemaHasKey = nullptr;
    decltype(&g_settings_schema_unref) schemaUnref = nullptr;
    decltype(&g_settings_new_full) settingsNewFull = nullptr;
    decltype(&g_settings_get_string) settingsGetString = nullptr;
    decltype(&g_settings_set_string) settingsSetString = nullptr;
    decltype(&g_settings_sync) settingsSync = nullptr;

private:
    static constexpr const char* library = "libgio-2.0.so.0";

    static std::string loadError() {
        const char* error = dlerror();
        return std::string("GLib's ") + library + " could not be loaded" + (error != nullptr ? ": " : "") +
               (error != nullptr ? error : "");
    }

    Gio() = default;

    bool complete() {
        // Never unloaded: GLib's types cannot be unregistered.
        handle_ = dlopen(library, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        return handle_ != nullptr && resolve(objectUnref, "g_object_unref") &&
               resolve(signalConnectData, "g_signal_connect_data") &&
               resolve(schemaSourceGetDefault, "g_settings_schema_source_get_default") &&
               resolve(schemaSourceLookup, "g_settings_schema_source_lookup") &&
               resolve(schemaHasKey, "g_settings_schema_has_key") && resolve(schemaUnref, "g_settings_schema_unref") &&
               resolve(settingsNewFull, "g_settings_new_full") && resolve(settingsGetString, "g_settings_get_string") &&
               resolve(settingsSetString, "g_settings_set_string") && resolve(settingsSync, "g_settings_sync");
    }

    template <typename Function>
    bool resolve(Function*& function, const char* name) const {
        // POSIX guarantees that dlsym's answer converts to a function pointer.
        function = reinterpret_cast<Function*>(dlsym(handle_, name));  // NOLINT(*-reinterpret-cast)
        return function != nullptr;
    }

    void* handle_ = nullptr;
};

struct Free {
    void operator()(gpointer memory) const { g_free(memory); }
};

// dconf takes a write at once and sends it to its service from a worker
// thread; when the service cannot be reached or refuses, the only word of it
// is a GLib warning from that thread. Every GLib message goes on to GLib's own
// writer as before; dconf's reason is kept for the failure Dusk reports.
class DconfCommitFailures final {
public:
    static DconfCommitFailures& shared() {
        static DconfCommitFailures instance;
        return instance;
    }

    std::uint64_t count() {
        const std::lock_guard lock(mutex_);
        return count_;
    }

    // The reason of the first failure after `seen`, waiting for it briefly:
    // dconf drops the change before it logs why.
    std::optional<std::string> reasonAfter(std::uint64_t seen) {
        std::unique_lock lock(mutex_);
        if (!arrived_.wait_for(lock, std::chrono::milliseconds(200), [&] { return count_ > seen; })) {
            return std::nullopt;
        }
        return reason_;
    }

private:
    static constexpr std::string_view prefix = "failed to commit changes to dconf: ";

    DconfCommitFailures() { g_log_set_writer_func(&DconfCommitFailures::write, this, nullptr); }

    static GLogWriterOutput write(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer data) {
        std::string_view domain;
        std::string_view message;
        for (gsize i = 0; i < count; ++i) {
            if (fields[i].length >= 0) continue;  // binary fields carry no text
            const auto* value = static_cast<const char*>(fields[i].value);
            if (g_strcmp0(fields[i].key, "GLIB_DOMAIN") == 0) domain = value;
            if (g_strcmp0(fields[i].key, "MESSAGE") == 0) message = value;
        }
        if (domain == "dconf" && message.starts_with(prefix)) {
            static_cast<DconfCommitFailures*>(data)->record(message.substr(prefix.size()));
        }
        return g_log_writer_default(level, fields, count, nullptr);
    }

    void record(std::string_view reason) {
        {
            const std::lock_guard lock(mutex_);
            reason_ = reason;
            ++count_;
        }
        arrived_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::uint64_t count_ = 0;
    std::string reason_;
};

}  // namespace

struct GnomeColorScheme::State {
    bool loadTried = false;
    const Gio* gio = nullptr;
    std::unique_ptr<GSettings, void (*)(gpointer)> settings{nullptr, nullptr};
    std::optional<std::string> problem;
    std::vector<std::function<void()>> callbacks;
};

GnomeColorScheme& GnomeColorScheme::shared() {
    static GnomeColorScheme instance;
    return instance;
}

GnomeColorScheme::GnomeColorScheme() : state_(std::make_unique<State>()) {}

void GnomeColorScheme::load() const {
    if (state_->loadTried) return;
    state_->loadTried = true;
    std::string failure;
    const Gio* gio = Gio::load(failure);
    if (gio == nullptr) {
        state_->problem = failure;
        return;
    }
    // load() answers only a Gio whose every function was found.
    GSettingsSchemaSource* source = gio->schemaSourceGetDefault();  // NOLINT(clang-analyzer-core.CallAndMessage)
    const std::unique_ptr<GSettingsSchema, decltype(gio->schemaUnref)> schema(
        source != nullptr ? gio->schemaSourceLookup(source, schemaId, TRUE) : nullptr, gio->schemaUnref);
    if (!schema) {
        state_->problem = std::string("the GSettings schema ") + schemaId +
                          " is not installed (it comes with gsettings-desktop-schemas)";
        return;
    }
    if (gio->schemaHasKey(schema.get(), key) == FALSE) {
        state_->problem =
            std::string("the GSettings schema ") + schemaId + " has no key " + key + " (GNOME 42 or later has it)";
        return;
    }
    DconfCommitFailures::shared();
    state_->gio = gio;
    state_->settings = {gio->settingsNewFull(schema.get(), nullptr, nullptr), gio->objectUnref};
    // Some backends only report changes to a key that has been read.
    const std::unique_ptr<gchar, Free> initial(gio->settingsGetString(state_->settings.get(), key));
    gio->signalConnectData(state_->settings.get(), "changed::color-scheme",
                           G_CALLBACK(+[](GSettings*, gchar*, gpointer data) {
                               auto* state = static_cast<State*>(data);
                               for (const auto& callback : state->callbacks) callback();
                           }),
                           state_.get(), nullptr, GConnectFlags{});
}

GnomeColorScheme::~GnomeColorScheme() = default;

bool GnomeColorScheme::inUse() const { return state_->settings != nullptr; }

const std::optional<std::string>& GnomeColorScheme::problem() const {
    load();
    return state_->problem;
}

std::optional<bool> GnomeColorScheme::prefersDark() const {
    load();
    if (!state_->settings) return std::nullopt;
    const std::unique_ptr<gchar, Free> value(state_->gio->settingsGetString(state_->settings.get(), key));
    return value && g_strcmp0(value.get(), "prefer-dark") == 0;
}

std::optional<std::string> GnomeColorScheme::setPrefersDark(bool dark) {
    load();
    if (!state_->settings) return state_->problem;
    const std::string setting = std::string(schemaId) + " " + key;
    const auto failuresBefore = DconfCommitFailures::shared().count();
    if (state_->gio->settingsSetString(state_->settings.get(), key, dark ? "prefer-dark" : "default") == FALSE) {
        return "the setting " + setting + " is not writable (locked by the administrator)";
    }
    // Waits for dconf's service to answer. A change it did not commit is
    // dropped, so reading the setting back tells whether it took.
    state_->gio->settingsSync();
    if (prefersDark() == dark) return std::nullopt;
    const auto reason = DconfCommitFailures::shared().reasonAfter(failuresBefore);
    return "dconf did not save the setting " + setting + ": " + reason.value_or("its service did not take the change");
}

void GnomeColorScheme::onChange(std::function<void()> callback) { state_->callbacks.push_back(std::move(callback)); }

}  // namespace dusk::backend
