// What Dusk keeps in the user's registry: the Personalize values and the
// Run key, read back as Windows and its tools read them.
#include <gtest/gtest.h>

#include "appearance/Personalize.h"
#include "common/Handles.h"
#include "platform/LoginItem.h"

using namespace dusk::backend;
using platform::LoginItem;
using platform::LoginItemStatus;

namespace {

constexpr wchar_t runKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t approvedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

std::optional<DWORD> personalizeValue(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, personalizeKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::wstring runValue() {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, runKey, L"Dusk", RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return L"<none>";
    }
    return value;
}

std::wstring thisProgram() {
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

void setRunValue(const std::wstring& command) {
    ::RegSetKeyValueW(HKEY_CURRENT_USER, runKey, L"Dusk", REG_SZ, command.c_str(),
                      static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

TEST(Personalize, BothValuesTakeTheSideAndAMissingValueIsLight) {
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, personalizeKey, L"AppsUseLightTheme");
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, personalizeKey, L"SystemUsesLightTheme");
    EXPECT_FALSE(appsAreDark());
    EXPECT_FALSE(taskbarIsDark());
    ASSERT_EQ(writeSide(true), std::nullopt);
    EXPECT_EQ(personalizeValue(L"AppsUseLightTheme"), 0u);
    EXPECT_EQ(personalizeValue(L"SystemUsesLightTheme"), 0u);
    EXPECT_TRUE(appsAreDark());
    EXPECT_TRUE(taskbarIsDark());
    ASSERT_EQ(writeSide(false), std::nullopt);
    EXPECT_EQ(personalizeValue(L"AppsUseLightTheme"), 1u);
    EXPECT_EQ(personalizeValue(L"SystemUsesLightTheme"), 1u);
    // Windows lets the two differ; Dusk reports the apps' side and draws for the taskbar's.
    const DWORD dark = 0;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, personalizeKey, L"SystemUsesLightTheme", REG_DWORD, &dark, sizeof dark);
    EXPECT_FALSE(appsAreDark());
    EXPECT_TRUE(taskbarIsDark());
}

TEST(LaunchAtLogin, EnablingWritesThisProgramQuotedAndDisablingRemovesIt) {
    ASSERT_EQ(LoginItem::disable(), std::nullopt);
    EXPECT_EQ(LoginItem::status(), LoginItemStatus::NotRegistered);
    EXPECT_EQ(LoginItem::disable(), std::nullopt) << "nothing to remove is no failure";
    ASSERT_EQ(LoginItem::enable(), std::nullopt);
    EXPECT_EQ(runValue(), L"\"" + thisProgram() + L"\"");
    EXPECT_EQ(LoginItem::status(), LoginItemStatus::Enabled);
    ASSERT_EQ(LoginItem::disable(), std::nullopt);
    EXPECT_EQ(runValue(), L"<none>");
    EXPECT_EQ(LoginItem::status(), LoginItemStatus::NotRegistered);
}

TEST(LaunchAtLogin, AnEntrySwitchedOffInTaskManagerIsNotEnabledUntilDuskEnablesItAgain) {
    ASSERT_EQ(LoginItem::enable(), std::nullopt);
    const BYTE switchedOff[12] = {3};
    ::RegSetKeyValueW(HKEY_CURRENT_USER, approvedKey, L"Dusk", REG_BINARY, switchedOff, sizeof switchedOff);
    EXPECT_EQ(LoginItem::status(), LoginItemStatus::NotRegistered);
    const BYTE switchedOn[12] = {2};
    ::RegSetKeyValueW(HKEY_CURRENT_USER, approvedKey, L"Dusk", REG_BINARY, switchedOn, sizeof switchedOn);
    EXPECT_EQ(LoginItem::status(), LoginItemStatus::Enabled);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, approvedKey, L"Dusk", REG_BINARY, switchedOff, sizeof switchedOff);
    ASSERT_EQ(LoginItem::enable(), std::nullopt);
    EXPECT_EQ(LoginItem::status(), LoginItemStatus::Enabled);
    EXPECT_EQ(LoginItem::disable(), std::nullopt);
}

TEST(LaunchAtLogin, AnEntryWhoseProgramIsGoneIsNotEnabled) {
    setRunValue(L"\"C:\\nowhere\\dusk.exe\"");
    EXPECT_EQ(LoginItem::status(), LoginItemStatus::NotRegistered);
    // Unquoted, the program is the first word.
    setRunValue(thisProgram() + L" --from-login");
    EXPECT_EQ(LoginItem::status(), thisProgram().find(L' ') == std::wstring::npos ? LoginItemStatus::Enabled
                                                                                  : LoginItemStatus::NotRegistered);
    EXPECT_EQ(LoginItem::disable(), std::nullopt);
}
