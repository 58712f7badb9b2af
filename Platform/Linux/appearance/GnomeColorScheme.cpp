#include "appearance/GnomeColorScheme.h"

#include <memory>
#include <string_view>
#include <utility>

#include "appearance/GnomeLibraries.h"
#include "common/Log.h"

namespace dusk::backend {
namespace {

constexpr const char* schemaId = "org.gnome.desktop.interface";
constexpr const char* keyName = "color-scheme";
constexpr const char* keyPath = "/org/gnome/desktop/interface/color-scheme";
constexpr std::string_view setting = "org.gnome.desktop.interface color-scheme";

struct FreeGLib {
    void operator()(gpointer memory) const { g_free(memory); }
};
struct FreeError {
    void operator()(GError* error) const { g_error_free(error); }
};

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

std::string lockedReason() { return "The setting " + std::string(setting) + " is locked by the administrator."; }

std::string reasonFor(const Gio& gio, const Dconf& dconf, GError& error) {
    if (error.domain == dconf.errorQuark() && error.code == DCONF_ERROR_NOT_WRITABLE) return lockedReason();
    // dconf's service sends its GLib errors over D-Bus, where they come back
    // behind the name D-Bus gave them; the text is dconf's own.
    gio.dbusErrorStripRemoteError(&error);
    return "dconf did not save the setting " + std::string(setting) + ": " + error.message;
}

// A write for dconf's own thread.
struct DconfWrite {
    const Gio& gio;
    const Dconf& dconf;
    DConfClient* client;
    bool dark;
    GnomeColorScheme::Landed landed;
};

// dconf's client gives the reason for a failed write only to a synchronous
// write (an asynchronous one has GLib log it, where only a program's own log
// writer can see it), so writes wait on a thread of GLib's pool, which is
// never joined: quitting leaves it behind. GDBus stops waiting
// after 25 s, but the change stays queued for dconf's service and lands when
// the service resumes; the same write again is answered after it, when it
// has landed.
void writeInDconf(gpointer data, gpointer) {
    const std::unique_ptr<DconfWrite> write(static_cast<DconfWrite*>(data));
    for (;;) {
        GError* failure = nullptr;
        GVariant* value = g_variant_new_string(write->dark ? "prefer-dark" : "default");
        if (write->dconf.clientWriteSync(write->client, keyPath, value, nullptr, nullptr, &failure) != FALSE) {
            onMainThread([landed = std::move(write->landed)] { landed(std::nullopt); });
            return;
        }
        const std::unique_ptr<GError, FreeError> error(failure);
        if (error->domain == write->gio.ioErrorQuark() && error->code == G_IO_ERROR_TIMED_OUT) {
            onMainThread([] { logNotice("dconf's service has not answered for 25 seconds; still waiting for it"); });
            continue;
        }
        onMainThread([landed = std::move(write->landed), reason = reasonFor(write->gio, write->dconf, *error)] {
            landed(reason);
        });
        return;
    }
}

}  // namespace

struct GnomeColorScheme::Loaded {
    const Gio* gio = nullptr;
    // For the whole process, as the signal handler on it.
    GSettings* settings = nullptr;
};

GnomeColorScheme& GnomeColorScheme::shared() {
    static GnomeColorScheme instance;
    return instance;
}

const GnomeColorScheme::Loaded* GnomeColorScheme::load() {
    if (loadTried_) return loaded_;
    loadTried_ = true;
    const Gio* gio = Gio::load(problem_);
    if (gio == nullptr) {
        logError(problem_);
        return nullptr;
    }
    GSettingsSchemaSource* source = gio->schemaSourceGetDefault();
    const std::unique_ptr<GSettingsSchema, decltype(gio->schemaUnref)> schema(
        source != nullptr ? gio->schemaSourceLookup(source, schemaId, TRUE) : nullptr, gio->schemaUnref);
    if (!schema) {
        problem_ = std::string("GNOME's settings schema ") + schemaId +
                   " is not installed (it comes with gsettings-desktop-schemas).";
    } else if (gio->schemaHasKey(schema.get(), keyName) == FALSE) {
        problem_ = std::string("GNOME's settings schema ") + schemaId + " has no key " + keyName +
                   " (GNOME 42 and later have it).";
    }
    if (!problem_.empty()) {
        logNotice(problem_);
        return nullptr;
    }
    static const Loaded loaded{gio, gio->settingsNewFull(schema.get(), nullptr, nullptr)};
    gio->signalConnectData(loaded.settings, "changed::color-scheme", G_CALLBACK(+[](GSettings*, gchar*, gpointer self) {
                               static_cast<GnomeColorScheme*>(self)->changed();
                           }),
                           this, nullptr, GConnectFlags{});
    loaded_ = &loaded;
    // Some backends only report changes to a key that has been read.
    prefersDark();
    return loaded_;
}

std::optional<bool> GnomeColorScheme::prefersDark() {
    const Loaded* loaded = load();
    if (loaded == nullptr) return std::nullopt;
    const std::unique_ptr<gchar, FreeGLib> value(loaded->gio->settingsGetString(loaded->settings, keyName));
    return g_strcmp0(value.get(), "prefer-dark") == 0;
}

void GnomeColorScheme::changed() {
    const auto dark = prefersDark();
    if (!dark) return;
    const auto observers = observers_;
    for (const auto& observer : observers) observer(*dark);
}

std::optional<std::string> GnomeColorScheme::backendProblem() const {
    const Gio& gio = *loaded_->gio;
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

void GnomeColorScheme::write(bool dark, Landed landed) {
    if (load() == nullptr) return landed(problem_);
    if (auto problem = backendProblem()) return landed(problem);
    std::string problem;
    const Dconf* dconf = Dconf::load(problem);
    if (dconf == nullptr) return landed(problem);
    // Locks are in dconf's databases on disk: asked at once, with no process
    // to wait on.
    static DConfClient* const client = dconf->clientNew();
    if (dconf->clientIsWritable(client, keyPath) == FALSE) return landed(lockedReason());
    // One at a time, in the order asked. GLib queues the write even where it
    // cannot start a thread now; a thread it starts later takes it.
    static GThreadPool* const writer = g_thread_pool_new(writeInDconf, nullptr, 1, FALSE, nullptr);
    GError* failure = nullptr;
    if (g_thread_pool_push(writer, new DconfWrite{*loaded_->gio, *dconf, client, dark, std::move(landed)}, &failure) ==
        FALSE) {
        const std::unique_ptr<GError, FreeError> error(failure);
        logError(std::string("no thread for dconf's write yet: ") + error->message);
    }
}

}  // namespace dusk::backend
