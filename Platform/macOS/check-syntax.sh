#!/usr/bin/env bash
# Compiles the macOS backend and the portable core against a macOS SDK into
# Mach-O objects for Apple silicon and for Intel, with the build's own
# deployment target and warnings, as errors, and makes sure the Mac's build
# compiles every backend source it finds. A Mac is not needed: clang targets
# Apple's systems from anywhere, which is how the Linux CI checks Dusk's home.
# Then it proves it has teeth: doctored copies of the sources, each with a
# fault a Mac's build would refuse, must each fail with the diagnostic that
# fault deserves.
#
# The SDK is SDKROOT, as Apple's own tools take it; on a Mac, xcrun names the
# selected one. With no SDK at all the check says, in one line, that it was
# skipped.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
clangxx="${CLANGXX:-clang++}"

if [[ -z "${SDKROOT:-}" ]] && command -v xcrun >/dev/null; then
  SDKROOT="$(xcrun --sdk macosx --show-sdk-path 2>/dev/null || true)"
fi
if [[ -z "${SDKROOT:-}" ]]; then
  echo "check-syntax: SKIPPED, no macOS SDK (set SDKROOT to one to check the macOS backend)"
  exit 0
fi
if [[ ! -d "$SDKROOT/System/Library/Frameworks/AppKit.framework" ]]; then
  echo "check-syntax: SDKROOT=$SDKROOT holds no AppKit.framework: not a macOS SDK" >&2
  exit 1
fi
if ! command -v "$clangxx" >/dev/null; then
  echo "check-syntax: $clangxx not found; install clang" >&2
  exit 1
fi

# The build's own settings, read where the build keeps them so the two cannot
# drift: the oldest macOS Dusk runs on, the version the core reports, the
# warnings every target compiles with, and the options of the backend's
# Objective-C++.
version="$(sed -n 's/^project(Dusk VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
deployment_target="$(sed -n 's/.*CMAKE_OSX_DEPLOYMENT_TARGET "\([0-9.]*\)".*/\1/p' "$root/CMakeLists.txt")"
read -r -a warnings <<<"$(awk '/target_compile_options\(dusk_warnings/,/\)[[:space:]]*$/' "$root/CMakeLists.txt" |
  grep -o -e '-W[[:alnum:]=-]*' | tr '\n' ' ')"
read -r -a objc_options <<<"$(sed -n 's/.*COMPILE_LANGUAGE:OBJCXX>:\([^>]*\)>.*/\1/p' "$root/Platform/CMakeLists.txt" |
  tr ';\n' '  ')"
if [[ -z "$version" || -z "$deployment_target" || " ${warnings[*]-} " != *" -Wall "* || " ${objc_options[*]-} " != *" -fobjc-arc "* ]]; then
  echo "check-syntax: cannot read the version, the deployment target, dusk_warnings or the backend's Objective-C++ options" \
       "from the CMake files" >&2
  exit 1
fi

common=(-isysroot "$SDKROOT" -stdlib=libc++ -std=c++20 "${warnings[@]}" -Werror -I "$root/Platform/include"
        "-DDUSK_VERSION=\"$version\"")

# Recent SDKs' availability headers read the deployment target from a macro
# that older clangs do not define (Debian 12's clang 14 defines only its
# older name; Xcode 15's clang and LLVM 19 define both). Without it they take
# every target for macOS 10.0, and os_log falls back to a call deprecated
# since 10.12. Defined as those clangs define it, it changes nothing else.
predefined="$("$clangxx" -target "arm64-apple-macos$deployment_target" "${common[@]}" -x c++ -dM -E /dev/null)"
if [[ "$predefined" != *__ENVIRONMENT_OS_VERSION_MIN_REQUIRED__* ]]; then
  IFS=. read -r major minor patch <<<"$deployment_target"
  common+=("-D__ENVIRONMENT_OS_VERSION_MIN_REQUIRED__=$(printf '%d%02d%02d' "$major" "${minor:-0}" "${patch:-0}")")
fi

architectures=(arm64 x86_64)

# compile SOURCE ARCH OBJECT [AS]: compiles SOURCE for ARCH as the file AS
# (a doctored copy takes its language and its neighbours from the original).
compile() {
  local source="$1" arch="$2" object="$3" as="${4:-$1}"
  local flags=(-target "$arch-apple-macos$deployment_target" "${common[@]}" -iquote "$(dirname "$as")")
  case "$as" in
    *.mm) flags+=(-x objective-c++ "${objc_options[@]}") ;;
    *) flags+=(-x c++) ;;
  esac
  case "$as" in
    "$root/Sources/"*) flags+=(-I "$root/Sources") ;;
  esac
  "$clangxx" "${flags[@]}" -c "$source" -o "$object"
}

# The first eight bytes of a 64-bit Mach-O object: its magic number and its
# CPU type, little-endian.
mach_o_header() {
  case "$1" in
    arm64) echo cffaedfe0c000001 ;;
    x86_64) echo cffaedfe07000001 ;;
  esac
}

# compile_to_mach_o SOURCE ARCH OBJECT: compiles, and checks that what came
# out is an object the Mac's linker would take for ARCH; all output goes to
# OBJECT.log.
compile_to_mach_o() {
  local source="$1" arch="$2" object="$3"
  compile "$source" "$arch" "$object" >"$object.log" 2>&1 || return 1
  if [[ "$(od -An -tx1 -N8 "$object" | tr -d ' \n')" != "$(mach_o_header "$arch")" ]]; then
    echo "not a Mach-O object for $arch" >>"$object.log"
    return 1
  fi
}

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

echo "check-syntax: $("$clangxx" --version | head -n 1), SDK $SDKROOT," \
     "macOS $deployment_target and later on ${architectures[*]}"

# Every source of the backend and of the core, found afresh on each run so
# that a new file is checked without being listed here.
status=0
while IFS= read -r source; do
  name="${source#"$root"/}"
  pids=()
  for arch in "${architectures[@]}"; do
    compile_to_mach_o "$source" "$arch" "$scratch/${name//\//_}.$arch.o" &
    pids+=($!)
  done
  failed=()
  for i in "${!architectures[@]}"; do
    wait "${pids[$i]}" || failed+=("${architectures[$i]}")
  done
  if [[ ${#failed[@]} -eq 0 ]]; then
    echo "ok    ${architectures[*]}  $name"
  else
    echo "FAIL  ${failed[*]}  $name"
    # Most faults read the same on both architectures: each story is told once.
    shown=""
    for arch in "${failed[@]}"; do
      log="$scratch/${name//\//_}.$arch.o.log"
      if [[ -z "$shown" ]] || ! cmp -s "$shown" "$log"; then
        cat "$log"
        shown="$log"
      fi
    done
    status=1
  fi
  # Only a Mac links the backend, so a source its library leaves out would
  # pass here and fail there, as a missing symbol.
  if [[ "$source" == "$here/"* ]] && ! grep -qF "macOS/${source#"$here"/}" "$root/Platform/CMakeLists.txt"; then
    echo "FAIL  $name is not in dusk_platform_macos's sources in Platform/CMakeLists.txt"
    status=1
  fi
done < <(find "$here" "$root/Sources" -type f \( -name '*.mm' -o -name '*.cpp' \) | LC_ALL=C sort)
[[ $status -eq 0 ]] || exit 1

# must_fail NAME FILE SED-SCRIPT DIAGNOSTIC [SOURCE]: the copy of FILE that
# SED-SCRIPT makes must differ from FILE, and compiling it must fail with an
# error that matches DIAGNOSTIC (an extended regular expression), not merely
# fail. A doctored header is compiled through SOURCE, which includes it: the
# two sit side by side in a directory of their own, where SOURCE finds the
# doctored copy before the original.
must_fail() {
  local name="$1" file="$root/$2" script="$3" diagnostic="$4" source="${5:+$root/$5}"
  local doctored="$scratch/doctored"
  rm -rf "$doctored" && mkdir "$doctored"
  local copy="$doctored/${file##*/}" compiled="$doctored/${file##*/}" as="$file"
  sed -e "$script" "$file" >"$copy"
  if [[ -n "$source" ]]; then
    compiled="$doctored/${source##*/}"
    as="$source"
    cp "$source" "$compiled"
  fi
  if cmp -s "$file" "$copy"; then
    echo "FAIL  fault not injected: $name" >&2
    status=1
  elif compile "$compiled" arm64 "$scratch/doctored.o" "$as" >"$scratch/log" 2>&1; then
    echo "FAIL  check passed despite $name" >&2
    status=1
  elif ! grep -E "error: .*($diagnostic)" "$scratch/log" >"$scratch/match"; then
    echo "FAIL  $name failed, but not with an error matching '$diagnostic':" >&2
    cat "$scratch/log" >&2
    status=1
  else
    echo "ok    rejects $name: $(head -n 1 "$scratch/match" | sed 's/^.*error: //')"
  fi
}

must_fail "a misspelled selector" Platform/macOS/StatusItem.mm \
  's/setTemplate:YES/setTempalte:YES/' "setTempalte"
must_fail "an undeclared action selector" Platform/macOS/StatusItem.mm \
  's/@selector(perform:)/@selector(perfrom:)/' "undeclared selector 'perfrom:'"
must_fail "a wrong argument type" Platform/macOS/Appearance.mm \
  's/openURL:automation\]/openURL:automation.absoluteString]/' "NSString"
must_fail "a missing import" Platform/macOS/LoginItem.mm \
  '/#import <ServiceManagement\/ServiceManagement.h>/d' "SMAppService"
must_fail "a misspelled Carbon call" Platform/macOS/EventManager.cpp \
  's/{ UnregisterEventHotKey(/{ UnregisterEventHotkey(/' "UnregisterEventHotkey"
must_fail "a log argument that does not match its placeholder" Platform/macOS/Log.mm \
  's/text.c_str());/text.size());/' "format specifies type"
must_fail "a URL that may be nil handed to a parameter that takes none" Platform/macOS/Appearance.mm \
  's/if (automation != nil) \[\[NSWorkspace sharedWorkspace\] openURL:automation\];/[[NSWorkspace sharedWorkspace] openURL:[NSURL URLWithString:automation.absoluteString]];/' \
  "nullable pointer"
must_fail "a call that needs a newer macOS than Dusk runs on" Platform/macOS/StatusItem.mm \
  's/\[NSMenuItem separatorItem\]/[NSMenuItem sectionHeaderWithTitle:@""]/' "only available on macOS 14"
must_fail "an activation that needs macOS 14, unguarded" Platform/macOS/Activation.h \
  's/if (@available(macOS 14.0, \*)) {/if (true) {/' "'activate' is only available on macOS 14" Platform/macOS/Alert.mm
must_fail "a call deprecated before that macOS" Platform/macOS/StatusItem.mm \
  's/? NSControlStateValueOn/? NSOnState/' "NSOnState.*deprecated"
must_fail "a Core Foundation cast without a bridge" Platform/macOS/Appearance.mm \
  's/(__bridge CFNumberRef)number/(CFNumberRef)number/' "bridged cast"
must_fail "a 32-bit size where Carbon takes a ByteCount" Platform/macOS/EventManager.cpp \
  's/EventHotKeyID pressed{};/EventHotKeyID pressed{}; std::uint32_t size = 0;/; s/sizeof pressed, nullptr, &pressed/sizeof pressed, \&size, \&pressed/' \
  "ByteCount|GetEventParameter"
must_fail "a login-item status numbered unlike ServiceManagement's" Platform/macOS/LoginItem.mm \
  's/Enabled) == SMAppServiceStatusEnabled/Enabled) == SMAppServiceStatusRequiresApproval/' "static_assert failed|static assertion failed"
must_fail "a Carbon modifier mask unlike the event manager's" Platform/macOS/EventManager.h \
  's/option = 0x800;/option = 0x400;/' "static_assert failed|static assertion failed" Platform/macOS/EventManager.cpp
must_fail "an exclusive option unlike Carbon's" Platform/macOS/EventManager.h \
  's/exclusiveHotKey = 1U << 0;/exclusiveHotKey = 1U << 1;/' "static_assert failed|static assertion failed" \
  Platform/macOS/EventManager.cpp
must_fail "a registration that drops its exclusive option" Platform/macOS/EventManager.cpp \
  's/GetEventDispatcherTarget(), options,/GetEventDispatcherTarget(), 0,/' "unused parameter 'options'"
must_fail "a modifier flag unlike AppKit's" Platform/macOS/RecorderWindow.mm \
  's/Modifier::option == NSEventModifierFlagOption/Modifier::option == NSEventModifierFlagControl/' \
  "static_assert failed|static assertion failed"
must_fail "a core library call newer than that macOS" Sources/Log.cpp \
  's/#include <type_traits>/#include <charconv>/; s/return std::to_string(v);/char digits[64]; return std::string(digits, std::to_chars(digits, digits + 64, static_cast<double>(v)).ptr);/' \
  "unavailable: introduced in macOS 13.3"
exit $status
