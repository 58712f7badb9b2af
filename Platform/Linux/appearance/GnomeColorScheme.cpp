#include "appearance/GnomeColorScheme.h"

#include <dlfcn.h>

#define G_SETTINGS_ENABLE_BACKEND
#include <dconf.h>
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>

#include "common/Log.h"

namespace dusk::backend::gnome {
namespace {

// GIO and dconf's client library are opened by name the first time Dusk needs
// GNOME's setting (GLib itself comes with Qt and is linked as usual). Where
// the portal answers, Dusk needs neither until it first writes; linked as
// usual, they put its start 10 to 12% behind a bare Qt tray's instead of 3 to
// 4% (bench.py --start, both builds and the tray taking turns in each round).
struct Gio {
    decltype(&::g_object_unref) objectUnref = nullptr;
    decltype(&::g_type_name) typeName = nullptr;
    decltype(&::g_signal_connect_data) signalConnectData = nullptr;
    decltype(&::g_settings_schema_source_get_default) schemaSourceGetDefault = nullptr;
    decltype(&::g_settings_schema_source_lookup) schemaSourceLookup = nullptr;
    decltype(&::g_settings_schema_has_key) schemaHasKey = nullptr;
    decltype(&::g_settings_schema_unref) schemaUnref = nullptr;
    decltype(&::g_settings_new_full) settingsNewFull = nullptr;
    decltype(&::g_settings_get_string) settingsGetString = nullptr;
    decltype(&::g_settings_backend_get_default) settingsBackendGetDefault = nullptr;
    decltype(&::g_io_error_quark) ioErrorQuark = nullptr;
    decltype(&::g_dbus_error_strip_remote_error) dbusErrorStripRemoteError = nullptr;
};
// Found by the first call of interfaceSettings().
Gio gio;

struct Dconf {
    decltype(&::dconf_client_new) clientNew = nullptr;
    decltype(&::dconf_client_is_writable) clientIsWritable = nullptr;
    decltype(&::dconf_client_write_sync) clientWriteSync = nullptr;
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

constexpr const char* schemaId = "org.gnome.desktop.interface";
constexpr const char* keyName = "color-scheme";
constexpr const char* keyPath = "/org/gnome/desktop/interface/color-scheme";
constexpr std::string_view setting = "org.gnome.desktop.interface color-scheme";

std::function<void(bool dark)> follower;
// Why GSettings cannot have the setting, once interfaceSettings() has found so.
std::string problem;

// GSettings' object for GNOME's interface settings, made at the first need
// and kept, with the signal handler on it, for the whole process; null where
// it cannot be had (logged once, with why).
GSettings* interfaceSettings() {
    static GSettings* const settings = []() -> GSettings* {
        problem = openLibrary("libgio-2.0.so.0", "libglib2.0-0", [](auto find) {
            find(gio.objectUnref, "g_object_unref");
            find(gio.typeName, "g_type_name");
            find(gio.signalConnectData, "g_signal_connect_data");
            find(gio.schemaSourceGetDefault, "g_settings_schema_source_get_default");
            find(gio.schemaSourceLookup, "g_settings_schema_source_lookup");
            find(gio.schemaHasKey, "g_settings_schema_has_key");
            find(gio.schemaUnref, "g_settings_schema_unref");
            find(gio.settingsNewFull, "g_settings_new_full");
            find(gio.settingsGetString, "g_settings_get_string");
            find(gio.settingsBackendGetDefault, "g_settings_backend_get_default");
            find(gio.ioErrorQuark, "g_io_error_quark");
            find(gio.dbusErrorStripRemoteError, "g_dbus_error_strip_remote_error");
        });
        if (!problem.empty()) {
            logError(problem);
            return nullptr;
        }
        GSettingsSchemaSource* source = gio.schemaSourceGetDefault();
        const std::unique_ptr<GSettingsSchema, decltype(gio.schemaUnref)> schema(
            source != nullptr ? gio.schemaSourceLookup(source, schemaId, TRUE) : nullptr, gio.schemaUnref);
        if (!schema) {
            problem = std::string("GNOME's settings schema ") + schemaId +
                      " is not installed (it comes with gsettings-desktop-schemas).";
        } else if (gio.schemaHasKey(schema.get(), keyName) == FALSE) {
            problem = std::string("GNOME's settings schema ") + schemaId + " has no key " + keyName +
                      " (GNOME 42 and later have it).";
        }
        if (!problem.empty()) {
            logNotice(problem);
            return nullptr;
        }
        GSettings* made = gio.settingsNewFull(schema.get(), nullptr, nullptr);
        gio.signalConnectData(made, "changed::color-scheme", G_CALLBACK(+[](GSettings*, gchar*, gpointer) {
                                  if (const auto dark = prefersDark(); dark && follower) follower(*dark);
                              }),
                              nullptr, nullptr, GConnectFlags{});
        // Some backends only report changes to a key that has been read.
        g_free(gio.settingsGetString(made, keyName));
        return made;
    }();
    return settings;
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
    return "GSettings keeps its settings with " + std::string(type) + " here, not in dconf, where GNOME reads them.";
}

std::string lockedReason() { return "The setting " + std::string(setting) + " is locked by the administrator."; }

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

struct DconfWrite {
    bool dark;
    SideTracker::Landed landed;
};

// dconf's client gives the reason for a failed write only to a synchronous
// write (an asynchronous one has GLib log it, where only a program's own log
// writer can see it), so writes wait on a thread of GLib's pool, which is
// never joined: quitting leaves it behind. GDBus stops waiting after 25 s,
// but the change stays queued for dconf's service and lands when the service
// resumes; the same write again is answered after it, when it has landed.
void writeInDconf(gpointer data, gpointer client) {
    const std::unique_ptr<DconfWrite> write(static_cast<DconfWrite*>(data));
    for (;;) {
        g_autoptr(GError) error = nullptr;
        GVariant* value = g_variant_new_string(write->dark ? "prefer-dark" : "default");
        if (dconf.clientWriteSync(static_cast<DConfClient*>(client), keyPath, value, nullptr, nullptr, &error)) {
            return onMainThread([landed = std::move(write->landed)] { landed(std::nullopt); });
        }
        if (g_error_matches(error, gio.ioErrorQuark(), G_IO_ERROR_TIMED_OUT) != FALSE) {
            onMainThread([] { logNotice("dconf's service has not answered for 25 seconds; still waiting for it"); });
            continue;
        }
        std::string reason = lockedReason();
        if (g_error_matches(error, dconf.errorQuark(), DCONF_ERROR_NOT_WRITABLE) == FALSE) {
            // dconf's service sends its GLib errors over D-Bus, where they
            // come back behind the name D-Bus gave them; the text is dconf's.
            gio.dbusErrorStripRemoteError(error);
            reason = "dconf did not save the setting " + std::string(setting) + ": " + error->message;
        }
        return onMainThread([landed = std::move(write->landed), reason] { landed(reason); });
    }
}

}  // namespace

std::optional<bool> prefersDark() {
    GSettings* settings = interfaceSettings();
    if (settings == nullptr) return std::nullopt;
    g_autofree gchar* value = gio.settingsGetString(settings, keyName);
    return g_strcmp0(value, "prefer-dark") == 0;
}

void follow(std::function<void(bool dark)> changed) { follower = std::move(changed); }

void write(bool dark, SideTracker::Landed landed) {
    if (interfaceSettings() == nullptr) return landed(problem);
    if (auto why = backendProblem()) return landed(why);
    static const std::string dconfProblem = openLibrary("libdconf.so.1", "libdconf1", [](auto find) {
        find(dconf.clientNew, "dconf_client_new");
        find(dconf.clientIsWritable, "dconf_client_is_writable");
        find(dconf.clientWriteSync, "dconf_client_write_sync");
        find(dconf.errorQuark, "dconf_error_quark");
    });
    if (!dconfProblem.empty()) return landed(dconfProblem);
    // Locks are in dconf's databases on disk: asked at once, with no process
    // to wait on.
    static DConfClient* const client = dconf.clientNew();
    if (dconf.clientIsWritable(client, keyPath) == FALSE) return landed(lockedReason());
    // One at a time, in the order asked. GLib queues the write even where it
    // cannot start a thread now; a thread it starts later takes it.
    static GThreadPool* const writer = g_thread_pool_new(writeInDconf, client, 1, FALSE, nullptr);
    g_autoptr(GError) error = nullptr;
    if (g_thread_pool_push(writer, new DconfWrite{dark, std::move(landed)}, &error) == FALSE) {
        logError(std::string("no thread for dconf's write yet: ") + error->message);
    }
}

}  // namespace dusk::backend::gnome
