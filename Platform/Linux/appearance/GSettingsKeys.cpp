#include "appearance/GSettingsKeys.h"

#include <dlfcn.h>

#define G_SETTINGS_ENABLE_BACKEND
#include <dconf.h>
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <map>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>

#include "common/Log.h"

namespace dusk::backend::gsettings {
namespace {

// GIO and dconf's client library are opened by name the first time Dusk needs
// a desktop's setting (GLib itself comes with Qt and is linked as usual).
// Where the portal answers, Dusk needs neither until it first writes; linked
// as usual, they put its start 10 to 12% behind a bare Qt tray's instead of
// 3 to 4% (bench.py --start, both builds and the tray taking turns in each
// round).
struct Gio {
    decltype(&::g_object_unref) objectUnref = nullptr;
    decltype(&::g_type_name) typeName = nullptr;
    decltype(&::g_signal_connect_data) signalConnectData = nullptr;
    decltype(&::g_settings_schema_source_get_default) schemaSourceGetDefault = nullptr;
    decltype(&::g_settings_schema_source_lookup) schemaSourceLookup = nullptr;
    decltype(&::g_settings_schema_has_key) schemaHasKey = nullptr;
    decltype(&::g_settings_schema_get_path) schemaGetPath = nullptr;
    decltype(&::g_settings_new_full) settingsNewFull = nullptr;
    decltype(&::g_settings_get_string) settingsGetString = nullptr;
    decltype(&::g_settings_backend_get_default) settingsBackendGetDefault = nullptr;
    decltype(&::g_io_error_quark) ioErrorQuark = nullptr;
    decltype(&::g_dbus_error_strip_remote_error) dbusErrorStripRemoteError = nullptr;
};
Gio gio;

struct Dconf {
    decltype(&::dconf_client_new) clientNew = nullptr;
    decltype(&::dconf_client_is_writable) clientIsWritable = nullptr;
    decltype(&::dconf_client_change_sync) clientChangeSync = nullptr;
    decltype(&::dconf_changeset_new) changesetNew = nullptr;
    decltype(&::dconf_changeset_set) changesetSet = nullptr;
    decltype(&::dconf_changeset_unref) changesetUnref = nullptr;
    decltype(&::dconf_error_quark) errorQuark = nullptr;
};
// Found by the first write that gets as far as dconf.
Dconf dconf;

// Opens the library for good, as GLib's types cannot be unregistered, and
// has `find` look each function up by its name; why it could not, if not.
template <typename Find>
std::string openLibrary(const char* library, const char* package, Find find) {
    const std::string opening = std::string(library) + " (from " + package + ") could not be loaded: ";
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) return opening + dlerror();
    std::string missing;
    find([&](auto*& function, const char* symbol) {
        // POSIX guarantees that dlsym's answer converts to a function pointer.
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(  // NOLINT(*-reinterpret-cast)
            dlsym(handle, symbol));
        if (function == nullptr && missing.empty()) missing = opening + symbol + " is missing from it";
    });
    return missing;
}

// Why GIO could not be loaded; empty once it is.
const std::string& gioProblem() {
    static const std::string problem = [] {
        std::string why = openLibrary("libgio-2.0.so.0", "libglib2.0-0", [](auto find) {
            find(gio.objectUnref, "g_object_unref");
            find(gio.typeName, "g_type_name");
            find(gio.signalConnectData, "g_signal_connect_data");
            find(gio.schemaSourceGetDefault, "g_settings_schema_source_get_default");
            find(gio.schemaSourceLookup, "g_settings_schema_source_lookup");
            find(gio.schemaHasKey, "g_settings_schema_has_key");
            find(gio.schemaGetPath, "g_settings_schema_get_path");
            find(gio.settingsNewFull, "g_settings_new_full");
            find(gio.settingsGetString, "g_settings_get_string");
            find(gio.settingsBackendGetDefault, "g_settings_backend_get_default");
            find(gio.ioErrorQuark, "g_io_error_quark");
            find(gio.dbusErrorStripRemoteError, "g_dbus_error_strip_remote_error");
        });
        if (!why.empty()) logError(why);
        return why;
    }();
    return problem;
}

// A schema's GSettings object and where its keys live in dconf, made at the
// first need and kept, with the signal handlers on it, for the whole
// process; or why it cannot be had.
struct Schema {
    GSettingsSchema* schema = nullptr;
    GSettings* settings = nullptr;
    std::string path;
    std::string problem;
};

const Schema& schemaOf(const Key& key) {
    static std::map<std::string, Schema, std::less<>> schemas;
    if (const auto found = schemas.find(key.schema); found != schemas.end()) return found->second;
    Schema& made = schemas[key.schema];
    if (made.problem = gioProblem(); !made.problem.empty()) return made;
    GSettingsSchemaSource* source = gio.schemaSourceGetDefault();
    GSettingsSchema* schema = source != nullptr ? gio.schemaSourceLookup(source, key.schema, TRUE) : nullptr;
    if (schema == nullptr) {
        made.problem = std::string(key.owner) + " settings schema " + key.schema + " is not installed (it comes with " +
                       key.package + ").";
        logNotice(made.problem);
        return made;
    }
    made.schema = schema;
    made.settings = gio.settingsNewFull(schema, nullptr, nullptr);
    made.path = gio.schemaGetPath(schema);
    return made;
}

std::optional<std::string> keyProblem(const Key& key, const Schema& schema) {
    if (!schema.problem.empty()) return schema.problem;
    if (gio.schemaHasKey(schema.schema, key.name) != FALSE) return std::nullopt;
    std::string why = std::string(key.owner) + " settings schema " + key.schema + " has no key " + key.name;
    return why + (*key.since != '\0' ? std::string(" (") + key.since + " have it)." : std::string("."));
}

std::map<std::string, std::function<void()>, std::less<>>& followers() {
    static std::map<std::string, std::function<void()>, std::less<>> all;
    return all;
}

std::optional<std::string> backendProblem() {
    const std::unique_ptr<GSettingsBackend, decltype(gio.objectUnref)> backend(gio.settingsBackendGetDefault(),
                                                                               gio.objectUnref);
    const std::string_view type = gio.typeName(G_OBJECT_TYPE(backend.get()));
    if (type == "DConfSettingsBackend") return std::nullopt;
    if (type == "GMemorySettingsBackend") {
        return "GSettings keeps its settings in memory here, where no other program sees them (dconf's backend for "
               "GSettings, from dconf-gsettings-backend, is not in use).";
    }
    return "GSettings keeps its settings with " + std::string(type) + " here, not in dconf, where desktops read them.";
}

// Work for the main thread from another. GLib's default main context is the
// one Qt's loop runs (through its GLib event dispatcher, which GSettings'
// signals need as well), and it outlives every Qt object: work posted after
// the loop has ended is never run, and nothing waits for it.
void onMainThread(std::function<void()> work) {
    using Work = std::function<void()>;
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            (*static_cast<Work*>(data))();
            return G_SOURCE_REMOVE;
        },
        new Work(std::move(work)), [](gpointer data) { delete static_cast<Work*>(data); });
}

struct DconfChange {
    std::vector<std::pair<std::string, std::string>> pathsAndValues;
    // "setting org.gnome.desktop.interface color-scheme", "settings A and B"
    std::string settings;
    SideTracker::Landed landed;

    std::string locked() const {
        return "The " + settings + (pathsAndValues.size() == 1 ? " is" : " are") + " locked by the administrator.";
    }
};

// dconf's client gives the reason for a failed change only to a synchronous
// call (an asynchronous one has GLib log it, where only a program's own log
// writer can see it), so changes wait on a thread of GLib's pool, which is
// never joined: quitting leaves it behind. GDBus stops waiting after 25 s,
// but the change stays queued for dconf's service and lands when the service
// resumes; the same change again is answered after it, when it has landed.
void changeInDconf(gpointer data, gpointer client) {
    const std::unique_ptr<DconfChange> change(static_cast<DconfChange*>(data));
    for (;;) {
        const std::unique_ptr<DConfChangeset, decltype(dconf.changesetUnref)> changeset(dconf.changesetNew(),
                                                                                        dconf.changesetUnref);
        for (const auto& [path, value] : change->pathsAndValues) {
            dconf.changesetSet(changeset.get(), path.c_str(), g_variant_new_string(value.c_str()));
        }
        g_autoptr(GError) error = nullptr;
        if (dconf.clientChangeSync(static_cast<DConfClient*>(client), changeset.get(), nullptr, nullptr, &error)) {
            return onMainThread([landed = std::move(change->landed)] { landed(std::nullopt); });
        }
        if (g_error_matches(error, gio.ioErrorQuark(), G_IO_ERROR_TIMED_OUT) != FALSE) {
            onMainThread([] { logNotice("dconf's service has not answered for 25 seconds; still waiting for it"); });
            continue;
        }
        std::string reason = change->locked();
        if (g_error_matches(error, dconf.errorQuark(), DCONF_ERROR_NOT_WRITABLE) == FALSE) {
            // dconf's service sends its GLib errors over D-Bus, where they
            // come back behind the name D-Bus gave them; the text is dconf's.
            gio.dbusErrorStripRemoteError(error);
            reason = "dconf did not save the " + change->settings + ": " + error->message;
        }
        return onMainThread([landed = std::move(change->landed), reason] { landed(reason); });
    }
}

}  // namespace

std::optional<std::string> problem(const Key& key) { return keyProblem(key, schemaOf(key)); }

std::optional<std::string> read(const Key& key) {
    const Schema& schema = schemaOf(key);
    if (keyProblem(key, schema)) return std::nullopt;
    g_autofree gchar* value = gio.settingsGetString(schema.settings, key.name);
    return std::string(value);
}

void follow(const Key& key, std::function<void()> changed) {
    const Schema& schema = schemaOf(key);
    if (keyProblem(key, schema)) return;
    auto& all = followers();
    const std::string setting = key.setting();
    const bool connected = all.contains(setting);
    all[setting] = std::move(changed);
    if (connected) return;
    const std::string signal = std::string("changed::") + key.name;
    // The setting's name outlives the handler: the followers never shrink.
    gio.signalConnectData(schema.settings, signal.c_str(), G_CALLBACK(+[](GSettings*, gchar*, gpointer name) {
                              followers().at (*static_cast<const std::string*>(name))();
                          }),
                          const_cast<std::string*>(&all.find(setting)->first), nullptr, GConnectFlags{});
    // Some backends only report changes to a key that has been read.
    g_free(gio.settingsGetString(schema.settings, key.name));
}

void write(const std::vector<std::pair<Key, std::string>>& values, SideTracker::Landed landed) {
    auto change = std::make_unique<DconfChange>();
    for (const auto& [key, value] : values) {
        const Schema& schema = schemaOf(key);
        if (auto why = keyProblem(key, schema)) return landed(why);
        change->pathsAndValues.emplace_back(schema.path + key.name, value);
        change->settings += (change->settings.empty()       ? ""
                             : &key == &values.back().first ? " and "
                                                            : ", ") +
                            key.setting();
    }
    change->settings = (values.size() == 1 ? "setting " : "settings ") + change->settings;
    if (auto why = backendProblem()) return landed(why);
    static const std::string dconfProblem = openLibrary("libdconf.so.1", "libdconf1", [](auto find) {
        find(dconf.clientNew, "dconf_client_new");
        find(dconf.clientIsWritable, "dconf_client_is_writable");
        find(dconf.clientChangeSync, "dconf_client_change_sync");
        find(dconf.changesetNew, "dconf_changeset_new");
        find(dconf.changesetSet, "dconf_changeset_set");
        find(dconf.changesetUnref, "dconf_changeset_unref");
        find(dconf.errorQuark, "dconf_error_quark");
    });
    if (!dconfProblem.empty()) return landed(dconfProblem);
    // Locks are in dconf's databases on disk: asked at once, with no process
    // to wait on.
    static DConfClient* const client = dconf.clientNew();
    for (const auto& [key, value] : values) {
        if (dconf.clientIsWritable(client, (schemaOf(key).path + key.name).c_str()) == FALSE) {
            return landed("The setting " + key.setting() + " is locked by the administrator.");
        }
    }
    change->landed = std::move(landed);
    // One at a time, in the order asked. GLib queues the change even where it
    // cannot start a thread now; a thread it starts later takes it.
    static GThreadPool* const writer = g_thread_pool_new(changeInDconf, client, 1, FALSE, nullptr);
    g_autoptr(GError) error = nullptr;
    if (g_thread_pool_push(writer, change.release(), &error) == FALSE) {
        logError(std::string("no thread for dconf's change yet: ") + error->message);
    }
}

}  // namespace dusk::backend::gsettings
