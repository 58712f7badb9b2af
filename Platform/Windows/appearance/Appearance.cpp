// Light and Dark on Windows: the Personalize values, watched for changes
// made anywhere, and the "ImmersiveColorSet" broadcast that tells running
// programs, sent from a thread of its own because a hung window would hold
// it for its timeout.
#include "platform/Appearance.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <thread>
#include <utility>
#include <vector>

#include "appearance/Personalize.h"
#include "common/Handles.h"
#include "common/MessageWindow.h"
#include "platform/Log.h"
#include "platform/Session.h"

namespace dusk::backend {
namespace {

constexpr wchar_t colorSetChange[] = L"ImmersiveColorSet";

class Side final {
public:
    bool dark() const { return dark_; }

    void onChange(std::function<void()> changed) {
        watch();
        observers_.push_back(std::move(changed));
    }

    // The side may have changed elsewhere: observers hear of it once.
    void check() {
        if (appsAreDark() == dark_) return;
        dark_ = !dark_;
        announce();
    }

    // Dusk's own change, told to the observers once it has landed.
    void wrote(bool dark) { dark_ = dark; }

    void announce() const {
        const auto observers = observers_;
        for (const auto& changed : observers) changed();
    }

private:
    // Settings broadcasts the change; a program writing the values may not,
    // so the key itself is watched as well.
    void watch() {
        if (watching_) return;
        watching_ = true;
        handleMessage(WM_SETTINGCHANGE, [this](WPARAM, LPARAM lParam) {
            const auto* area = reinterpret_cast<const wchar_t*>(lParam);
            if (area != nullptr && std::wstring_view(area) == colorSetChange) check();
            return LRESULT{0};
        });
        HKEY opened = nullptr;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, personalizeKey, 0, nullptr, 0, KEY_NOTIFY, nullptr, &opened,
                              nullptr) != ERROR_SUCCESS) {
            platform::writeLog(platform::LogLevel::Error, "the Personalize key cannot be watched");
            return;
        }
        key_.reset(opened);
        changedEvent_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        HANDLE wait = nullptr;
        if (!changedEvent_ || !::RegisterWaitForSingleObject(&wait, changedEvent_.get(), &Side::keyChanged, this,
                                                             INFINITE, WT_EXECUTEDEFAULT)) {
            return;
        }
        wait_.reset(wait);
        rearm();
    }

    void rearm() {
        ::RegNotifyChangeKeyValue(key_.get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, changedEvent_.get(), TRUE);
    }

    // On a thread of the pool: the main thread reads the key and asks to
    // hear of the next change.
    static void CALLBACK keyChanged(void* context, BOOLEAN) {
        auto* side = static_cast<Side*>(context);
        platform::Session::post([side] {
            side->rearm();
            side->check();
        });
    }

    bool dark_ = appsAreDark();
    bool watching_ = false;
    std::vector<std::function<void()>> observers_;
    UniqueKey key_;
    UniqueHandle changedEvent_;
    // Declared last, so it stops before the event and the key go.
    Unique<HANDLE, &::UnregisterWait> wait_;
};

Side& side() {
    static Side instance;
    return instance;
}

}  // namespace
}  // namespace dusk::backend

namespace platform {

using namespace dusk::backend;

bool Appearance::isDark() { return side().dark(); }

void Appearance::toggle(Done done) {
    const bool dark = !side().dark();
    if (auto failure = writeSide(dark)) {
        writeLog(LogLevel::Error, "the appearance was not changed: " + *failure);
        done(AppearanceFailure{false, std::move(*failure)});
        return;
    }
    side().wrote(dark);
    // Until the broadcast has gone out the change has not fully landed: a
    // command must not end before it.
    std::thread([done = std::move(done)]() mutable {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(colorSetChange),
                              SMTO_ABORTIFHUNG, 1000, &ignored);
        Session::post([done = std::move(done)] {
            done(std::nullopt);
            side().announce();
        });
    }).detach();
}

void Appearance::onChange(std::function<void()> changed) { side().onChange(std::move(changed)); }

void Appearance::openPermissionSettings() {
    ::ShellExecuteW(nullptr, L"open", L"ms-settings:colors", nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace platform
