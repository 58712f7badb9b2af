#include "GnomeSettings.h"

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

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct SchemaUnref {
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
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
    std::unique_ptr<GSettings, ObjectUnref> settings;
    std::optional<std::string> problem;
    std::vector<std::function<void()>> callbacks;
};

GnomeColorScheme& GnomeColorScheme::shared() {
    static GnomeColorScheme instance;
    return instance;
}

GnomeColorScheme::GnomeColorScheme() : state_(std::make_unique<State>()) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    std::unique_ptr<GSettingsSchema, SchemaUnref> schema(
        source != nullptr ? g_settings_schema_source_lookup(source, schemaId, TRUE) : nullptr);
    if (!schema) {
        state_->problem = std::string("the GSettings schema ") + schemaId +
                          " is not installed (it comes with gsettings-desktop-schemas)";
        return;
    }
    if (g_settings_schema_has_key(schema.get(), key) == FALSE) {
        state_->problem =
            std::string("the GSettings schema ") + schemaId + " has no key " + key + " (GNOME 42 or later has it)";
        return;
    }
    DconfCommitFailures::shared();
    state_->settings.reset(g_settings_new_full(schema.get(), nullptr, nullptr));
    // Some backends only report changes to a key that has been read.
    std::unique_ptr<gchar, Free> initial(g_settings_get_string(state_->settings.get(), key));
    g_signal_connect(state_->settings.get(), "changed::color-scheme",
                     G_CALLBACK(+[](GSettings*, gchar*, gpointer data) {
                         auto* state = static_cast<State*>(data);
                         for (const auto& callback : state->callbacks) callback();
                     }),
                     state_.get());
}

GnomeColorScheme::~GnomeColorScheme() = default;

const std::optional<std::string>& GnomeColorScheme::problem() const { return state_->problem; }

std::optional<bool> GnomeColorScheme::prefersDark() const {
    if (!state_->settings) return std::nullopt;
    std::unique_ptr<gchar, Free> value(g_settings_get_string(state_->settings.get(), key));
    return value && g_strcmp0(value.get(), "prefer-dark") == 0;
}

std::optional<std::string> GnomeColorScheme::setPrefersDark(bool dark) {
    if (!state_->settings) return state_->problem;
    const std::string setting = std::string(schemaId) + " " + key;
    const auto failuresBefore = DconfCommitFailures::shared().count();
    if (g_settings_set_string(state_->settings.get(), key, dark ? "prefer-dark" : "default") == FALSE) {
        return "the setting " + setting + " is not writable (locked by the administrator)";
    }
    // Waits for dconf's service to answer. A change it did not commit is
    // dropped, so reading the setting back tells whether it took.
    g_settings_sync();
    if (prefersDark() == dark) return std::nullopt;
    const auto reason = DconfCommitFailures::shared().reasonAfter(failuresBefore);
    return "dconf did not save the setting " + setting + ": " + reason.value_or("its service did not take the change");
}

void GnomeColorScheme::onChange(std::function<void()> callback) { state_->callbacks.push_back(std::move(callback)); }

}  // namespace dusk::backend
