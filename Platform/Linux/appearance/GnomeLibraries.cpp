#include "appearance/GnomeLibraries.h"

#include <dlfcn.h>

namespace dusk::backend {
namespace {

// A library opened once and never closed: GLib's types cannot be
// unregistered.
class Library final {
public:
    Library(const char* name, const char* package)
        : name_(name), package_(package), handle_(dlopen(name, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
        if (handle_ == nullptr) fail(dlerror());
    }

    template <typename Function>
    void find(Function*& function, const char* symbol) {
        if (handle_ == nullptr) return;
        // POSIX guarantees that dlsym's answer converts to a function pointer.
        function = reinterpret_cast<Function*>(dlsym(handle_, symbol));  // NOLINT(*-reinterpret-cast)
        if (function == nullptr) fail(std::string(symbol) + " is missing from it");
    }

    const std::string& problem() const { return problem_; }

private:
    void fail(const std::string& why) {
        if (problem_.empty()) problem_ = std::string(name_) + " (from " + package_ + ") could not be loaded: " + why;
    }

    const char* name_;
    const char* package_;
    void* handle_;
    std::string problem_;
};

template <typename Functions, typename Find>
const Functions* loadOnce(std::string& problem, Find find) {
    static Functions functions;
    static const std::string failure = find(functions);
    problem = failure;
    return failure.empty() ? &functions : nullptr;
}

}  // namespace

const Gio* Gio::load(std::string& problem) {
    return loadOnce<Gio>(problem, [](Gio& gio) {
        Library library("libgio-2.0.so.0", "libglib2.0-0");
        library.find(gio.objectUnref, "g_object_unref");
        library.find(gio.typeName, "g_type_name");
        library.find(gio.signalConnectData, "g_signal_connect_data");
        library.find(gio.schemaSourceGetDefault, "g_settings_schema_source_get_default");
        library.find(gio.schemaSourceLookup, "g_settings_schema_source_lookup");
        library.find(gio.schemaHasKey, "g_settings_schema_has_key");
        library.find(gio.schemaUnref, "g_settings_schema_unref");
        library.find(gio.settingsNewFull, "g_settings_new_full");
        library.find(gio.settingsGetString, "g_settings_get_string");
        library.find(gio.settingsBackendGetDefault, "g_settings_backend_get_default");
        library.find(gio.ioErrorQuark, "g_io_error_quark");
        library.find(gio.dbusErrorStripRemoteError, "g_dbus_error_strip_remote_error");
        return library.problem();
    });
}

const Dconf* Dconf::load(std::string& problem) {
    return loadOnce<Dconf>(problem, [](Dconf& dconf) {
        Library library("libdconf.so.1", "libdconf1");
        library.find(dconf.clientNew, "dconf_client_new");
        library.find(dconf.clientIsWritable, "dconf_client_is_writable");
        library.find(dconf.clientWriteSync, "dconf_client_write_sync");
        library.find(dconf.errorQuark, "dconf_error_quark");
        return library.problem();
    });
}

}  // namespace dusk::backend
