#include "SettingsPortal.h"

#include <gio/gio.h>

#include <cstdint>
#include <vector>

namespace dusk::backend {
namespace {

constexpr const char* portalService = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
constexpr const char* portalSettings = "org.freedesktop.portal.Settings";
constexpr const char* appearanceNamespace = "org.freedesktop.appearance";
constexpr const char* colorSchemeKey = "color-scheme";
constexpr const char* readOne = "ReadOne";
// Portals before 1.17.1 have only Read, which nests the value in one more variant.
constexpr const char* readOld = "Read";

// How long a command run from a shell may wait for a portal that is slow to
// start or never answers, before it reads GNOME's setting instead.
constexpr gint commandWaitMilliseconds = 500;

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct VariantUnref {
    void operator()(GVariant* value) const { g_variant_unref(value); }
};
struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using Variant = std::unique_ptr<GVariant, VariantUnref>;
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

// Only the documented answer counts: a uint32, 0 (no preference), 1 (dark)
// or 2 (light). Anything else says nothing about the desktop.
std::optional<bool> darkFromValue(GVariant* value) {
    Variant inner(g_variant_ref(value));
    while (g_variant_is_of_type(inner.get(), G_VARIANT_TYPE_VARIANT)) inner.reset(g_variant_get_variant(inner.get()));
    if (!g_variant_is_of_type(inner.get(), G_VARIANT_TYPE_UINT32)) return std::nullopt;
    const guint32 scheme = g_variant_get_uint32(inner.get());
    if (scheme > 2) return std::nullopt;
    return scheme == 1;
}

// A reply of Read or ReadOne: one value, "(v)".
std::optional<bool> darkFromReply(GVariant* reply) {
    if (reply == nullptr || !g_variant_is_of_type(reply, G_VARIANT_TYPE("(v)"))) return std::nullopt;
    Variant value(g_variant_get_child_value(reply, 0));
    return darkFromValue(value.get());
}

bool unknownMethod(const GError* error) {
    return error != nullptr && g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD);
}

}  // namespace

struct SettingsPortal::State {
    std::unique_ptr<GDBusConnection, ObjectUnref> bus;
    std::unique_ptr<GCancellable, ObjectUnref> cancellable{g_cancellable_new()};
    guint subscription = 0;
    guint nameWatch = 0;
    bool started = false;
    // A reply to a read that a newer one has replaced says nothing.
    std::uint64_t readSerial = 0;
    std::optional<bool> dark;
    std::vector<std::function<void()>> callbacks;

    ~State() {
        g_cancellable_cancel(cancellable.get());
        if (nameWatch != 0) g_bus_unwatch_name(nameWatch);
        if (subscription != 0) g_dbus_connection_signal_unsubscribe(bus.get(), subscription);
    }

    void settle(std::optional<bool> answer) {
        if (answer == dark) return;
        dark = answer;
        for (const auto& callback : callbacks) callback();
    }

    void readBlocking() {
        bus.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
        if (!bus) return;  // no session bus: no portal either
        const gint64 deadline = g_get_monotonic_time() + commandWaitMilliseconds * G_TIME_SPAN_MILLISECOND;
        for (const char* method : {readOne, readOld}) {
            const auto remaining = static_cast<gint>((deadline - g_get_monotonic_time()) / G_TIME_SPAN_MILLISECOND);
            if (remaining <= 0) return;
            GError* raw = nullptr;
            const Variant reply(
                g_dbus_connection_call_sync(bus.get(), portalService, portalPath, portalSettings, method,
                                            g_variant_new("(ss)", appearanceNamespace, colorSchemeKey),
                                            G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, remaining, nullptr, &raw));
            const ErrorPtr error(raw);
            if (!unknownMethod(error.get())) {
                settle(darkFromReply(reply.get()));
                return;
            }
        }
    }

    void listen() { g_bus_get(G_BUS_TYPE_SESSION, cancellable.get(), &State::busReady, this); }

    static void busReady(GObject*, GAsyncResult* result, gpointer data) {
        GDBusConnection* connection = g_bus_get_finish(result, nullptr);
        if (connection == nullptr) return;  // no session bus: no portal either
        auto* state = static_cast<State*>(data);
        state->bus.reset(connection);
        state->subscription = g_dbus_connection_signal_subscribe(
            connection, portalService, portalSettings, "SettingChanged", portalPath, appearanceNamespace,
            G_DBUS_SIGNAL_FLAGS_NONE, &State::settingChanged, state, nullptr);
        // Each time a portal owns the name (at start, the bus starts one
        // that it can activate), its answer is read afresh.
        state->nameWatch =
            g_bus_watch_name_on_connection(connection, portalService, G_BUS_NAME_WATCHER_FLAGS_AUTO_START,
                                           &State::portalAppeared, &State::portalVanished, state, nullptr);
    }

    void readAsync(bool old = false) {
        struct Pending {
            State* state;
            std::uint64_t serial;
            bool old;
        };
        g_dbus_connection_call(
            bus.get(), portalService, portalPath, portalSettings, old ? readOld : readOne,
            g_variant_new("(ss)", appearanceNamespace, colorSchemeKey), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
            -1, cancellable.get(),
            +[](GObject* source, GAsyncResult* result, gpointer data) {
                const std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
                GError* raw = nullptr;
                const Variant reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &raw));
                const ErrorPtr error(raw);
                if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED)) return;
                State& state = *pending->state;
                if (pending->serial != state.readSerial) return;
                if (!pending->old && unknownMethod(error.get())) {
                    state.readAsync(true);
                    return;
                }
                state.settle(darkFromReply(reply.get()));
            },
            new Pending{this, ++readSerial, old});
    }

    static void settingChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                               GVariant* parameters, gpointer data) {
        const gchar* nameSpace = nullptr;
        const gchar* key = nullptr;
        GVariant* raw = nullptr;
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssv)"))) return;
        g_variant_get(parameters, "(&s&sv)", &nameSpace, &key, &raw);
        const Variant value(raw);
        if (g_strcmp0(nameSpace, appearanceNamespace) != 0 || g_strcmp0(key, colorSchemeKey) != 0) return;
        static_cast<State*>(data)->settle(darkFromValue(value.get()));
    }

    static void portalAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data) {
        static_cast<State*>(data)->readAsync();
    }

    static void portalVanished(GDBusConnection*, const gchar*, gpointer data) {
        auto* state = static_cast<State*>(data);
        ++state->readSerial;
        state->settle(std::nullopt);
    }
};

SettingsPortal& SettingsPortal::shared() {
    static SettingsPortal instance;
    return instance;
}

SettingsPortal::SettingsPortal() : state_(std::make_unique<State>()) {}
SettingsPortal::~SettingsPortal() = default;

std::optional<bool> SettingsPortal::prefersDark(Caller caller) {
    if (!state_->started) {
        state_->started = true;
        if (caller == Caller::Command) {
            state_->readBlocking();
        } else {
            state_->listen();
        }
    }
    return state_->dark;
}

void SettingsPortal::onChange(std::function<void()> callback) {
    prefersDark(Caller::EventLoop);
    state_->callbacks.push_back(std::move(callback));
}

}  // namespace dusk::backend
