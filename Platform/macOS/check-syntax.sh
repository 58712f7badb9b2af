#!/usr/bin/env bash
# Parses the macOS backend with clang on a machine without the macOS SDK:
# Objective-C++ with ARC against the declaration headers in SyntaxCheck/,
# which stand in for the SDK and declare only what the backend uses. Then
# proves the check has teeth: copies of the sources with a misspelled
# selector, an undeclared action selector, a wrong argument type, a missing
# import, a misspelled Carbon call or a log argument that does not match its
# placeholder must each fail it.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
clangxx="${CLANGXX:-clang++}"

if ! command -v "$clangxx" >/dev/null; then
  if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends clang
  else
    echo "check-syntax: $clangxx not found; install clang" >&2
    exit 1
  fi
fi

common=(-std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror
        -isystem "$here/SyntaxCheck/include" -I "$root/Platform/include" -I "$here")
objc=(-x objective-c++ -fobjc-arc -fobjc-runtime=macosx-13.0 -fblocks
      -Wundeclared-selector -Wobjc-method-access)

# check FILE [AS]: parses FILE as the language its name says (AS names it
# when FILE is a doctored copy).
check() {
  local file="$1" as="${2:-$1}"
  case "$as" in
    *.mm) "$clangxx" "${objc[@]}" "${common[@]}" "$file" ;;
    *.cpp) "$clangxx" -x c++ "${common[@]}" "$file" ;;
  esac
}

status=0
for source in "$here"/*.mm "$here"/*.cpp; do
  if check "$source"; then
    echo "ok    ${source#"$root"/}"
  else
    echo "FAIL  ${source#"$root"/}"
    status=1
  fi
done
[[ $status -eq 0 ]] || exit 1

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# must_fail NAME FILE SED-EXPRESSION: the doctored copy must differ from the
# original and must not pass the check.
must_fail() {
  local name="$1" file="$here/$2" expression="$3"
  local copy="$scratch/$2"
  sed -e "$expression" "$file" >"$copy"
  if cmp -s "$file" "$copy"; then
    echo "FAIL  fault not injected: $name" >&2
    status=1
  elif check "$copy" "$file" >"$scratch/log" 2>&1; then
    echo "FAIL  check passed despite $name" >&2
    status=1
  else
    echo "ok    rejects $name: $(grep -m1 'error:' "$scratch/log" | sed 's/^.*error: //')"
  fi
}

must_fail "a misspelled selector" AppKit.mm 's/setTemplate:isTemplate/setTempalte:isTemplate/'
must_fail "an undeclared action selector" Views.mm 's/@selector(performAction:)/@selector(performActoin:)/'
must_fail "a wrong argument type" Foundation.mm 's/openURL:\[NSURL URLWithString:\(.*\)\]\]/openURL:\1]/'
must_fail "a missing import" Views.mm '/#import <QuartzCore\/QuartzCore.h>/d'
must_fail "a misspelled Carbon call" HotKeyEvents.cpp 's/::UnregisterEventHotKey(/::UnregisterEventHotkey(/'
must_fail "a log argument that does not match its placeholder" Foundation.mm 's/std::string(text).c_str());/text.size());/'
exit $status
