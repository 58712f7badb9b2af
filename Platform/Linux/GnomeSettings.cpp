#include "GnomeSettings.h"

#include <gio/gio.h>

#include <memory>
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
    if (g_settings_set_string(state_->settings.get(), key, dark ? "prefer-dark" : "default") == FALSE) {
        return std::string("the setting ") + schemaId + " " + key + " is not writable (locked by the administrator)";
    }
    // The write reaches dconf asynchronously; Dusk reads the state right
    // after the script returns, as the real runner's caller expects.
    g_settings_sync();
    // dconf takes every write and drops it when its service cannot be
    // reached (no session bus): only the value read back tells.
    if (prefersDark() != dark) {
        return std::string("dconf did not keep the change to ") + schemaId + " " + key +
               " (is the session bus running?)";
    }
    return std::nullopt;
}

void GnomeColorScheme::onChange(std::function<void()> callback) { state_->callbacks.push_back(std::move(callback)); }

}  // namespace dusk::backend
