// GIO and dconf's client library, opened by name the first time Dusk needs
// GNOME's setting. GIO with GObject costs a Qt program a tenth of its start,
// and where the Settings portal answers Dusk needs neither until it first
// writes. (GLib itself comes with Qt and is linked as usual.) Kept apart from
// Qt, whose keywords clash with GLib's headers.
#pragma once

#define G_SETTINGS_ENABLE_BACKEND
#include <dconf.h>
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <string>

namespace dusk::backend {

// The functions Dusk calls, each found by its name.
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

    // None where GIO cannot be opened; `problem` says why.
    static const Gio* load(std::string& problem);
};

struct Dconf {
    decltype(&::dconf_client_new) clientNew = nullptr;
    decltype(&::dconf_client_is_writable) clientIsWritable = nullptr;
    decltype(&::dconf_client_write_sync) clientWriteSync = nullptr;
    decltype(&::dconf_error_quark) errorQuark = nullptr;

    static const Dconf* load(std::string& problem);
};

}  // namespace dusk::backend
