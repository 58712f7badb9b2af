#!/usr/bin/env bash
# The package as a user gets it: builds dusk_<version>_amd64.deb, runs the
# validators on it, installs it with apt-get into a Debian 12 root made by
# debootstrap, and runs the end-to-end tests' main path there against
# /usr/bin/dusk, as an unprivileged user.
#
#   Tests/Linux/package-check.sh
#
# As root (debootstrap, mount, chroot). The root is kept in $DUSK_CHROOT
# (default /var/cache/dusk/bookworm) and reused: made once it costs a
# debootstrap, a few minutes; afterwards the check purges Dusk there and
# installs the new package.
set -euo pipefail
cd "$(dirname "$0")/../.."
if [[ $EUID -ne 0 ]]; then
  echo "package-check: needs root, for debootstrap, mount and chroot" >&2
  exit 1
fi
chroot_root=${DUSK_CHROOT:-/var/cache/dusk/bookworm}
user=dusk-check
seconds() { echo "$(($(date +%s) - $1)) s"; }

echo "-- the package"
cmake --preset default >/dev/null && cmake --build --preset default && cpack --preset deb
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/default/CMakeCache.txt)
deb=build/default/dusk_${version}_amd64.deb
test -f "$deb"
dpkg-deb --info "$deb" control

echo "-- the validators"
contents=$(mktemp -d)
mounts=()
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
  local index
  for ((index = ${#mounts[@]} - 1; index >= 0; index--)); do umount "${mounts[index]}"; done
  rm -rf "$contents"
}
trap cleanup EXIT
dpkg-deb --extract "$deb" "$contents"
lintian --fail-on error "$deb"
desktop-file-validate "$contents/usr/share/applications/app.dusk.Dusk.desktop"
appstreamcli validate --no-net --no-color "$contents/usr/share/metainfo/app.dusk.Dusk.metainfo.xml"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$contents/usr/share/metainfo/app.dusk.Dusk.metainfo.xml")
if [[ "$(dpkg-deb --field "$deb" Version)" != "$version" || "$release" != "$version" ]]; then
  echo "package-check: the package says $(dpkg-deb --field "$deb" Version), its metadata $release, CMake $version" >&2
  exit 1
fi

# The other X client some of the tests need.
[[ -x build/test/Tests/Linux/x11_peer ]] || { cmake --preset test >/dev/null && cmake --build --preset test --target x11_peer; }

echo "-- a Debian 12 root in $chroot_root"
if [[ ! -x "$chroot_root/usr/bin/apt-get" ]]; then
  # The mirror this machine's apt uses, or Debian's own.
  mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/* 2>/dev/null | grep -v '^[[:space:]]*#' |
           grep -oE 'https?://[^ ]+/debian/?( |$)' | head -n 1 | tr -d ' ') || true
  started=$(date +%s)
  debootstrap --variant=minbase bookworm "$chroot_root" "${mirror:-http://deb.debian.org/debian}" >/dev/null
  echo "debootstrap: $(seconds "$started")"
fi
attach() {
  local place=$1
  shift
  mount "$@" "$chroot_root/$place"
  mounts+=("$chroot_root/$place")
}
attach proc -t proc proc
attach sys -t sysfs sysfs
attach dev --bind /dev
attach dev/pts -t devpts -o newinstance,ptmxmode=0666 devpts
attach dev/shm -t tmpfs -o mode=1777 shm
cp /etc/resolv.conf "$chroot_root/etc/resolv.conf"
inside() { chroot "$chroot_root" env -i PATH=/usr/bin:/bin:/usr/sbin:/sbin LANG=C.UTF-8 "$@"; }

check=/opt/dusk-check
rm -rf "${chroot_root:?}$check"
mkdir -p "$chroot_root$check/Tests" "$chroot_root$check/tools"
cp -r Tests/Linux "$chroot_root$check/Tests/"
cp tools/install-deps "$chroot_root$check/tools/"
cp build/test/Tests/Linux/x11_peer "$deb" "$chroot_root$check/"

echo "-- apt-get install ./$(basename "$deb")"
started=$(date +%s)
apt_get() { inside env DEBIAN_FRONTEND=noninteractive apt-get -o Dpkg::Use-Pty=0 "$@"; }
apt_get update -qq
if inside dpkg-query --show dusk >/dev/null 2>&1; then
  apt_get purge -y -qq dusk >/dev/null
fi
apt_get install -y -q "$check/$(basename "$deb")" | grep -v '^(Reading database'
inside env DEBIAN_FRONTEND=noninteractive "$check/tools/install-deps" --only e2e
echo "installing: $(seconds "$started")"
inside dpkg-query --show dusk

echo "-- the main path against /usr/bin/dusk, as $user"
inside id -u "$user" >/dev/null 2>&1 || inside useradd --create-home "$user"
as_user() {
  inside setpriv --reuid="$user" --regid="$user" --init-groups env HOME="/home/$user" \
    DUSK_EXECUTABLE=/usr/bin/dusk DUSK_X11_PEER="$check/x11_peer" /usr/bin/python3 "$@"
}
started=$(date +%s)
status=0
as_user "$check/Tests/Linux/test_desktop.py" -v TrayAndAppearance InstalledCopy GlobalShortcut || status=1
as_user "$check/Tests/Linux/test_package.py" -v || status=1
echo "main path: $(seconds "$started")"
exit "$status"
