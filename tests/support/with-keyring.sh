#!/bin/sh
# Runs a command with a desktop keyring of its own: a private D-Bus session
# bus and a GNOME Keyring daemon unlocked with a throwaway password, under a
# temporary HOME and XDG folders. The user's own keyring and session bus are
# never reached. Usage: with-keyring.sh COMMAND [ARG...]
set -eu
scratch=$(mktemp -d "${TMPDIR:-/tmp}/pagewick-keyring.XXXXXX")
trap 'rm -rf "$scratch"' EXIT INT TERM
mkdir -m 700 "$scratch/home" "$scratch/data" "$scratch/config" "$scratch/cache" "$scratch/run"
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
    XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/run"
unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY GNOME_KEYRING_CONTROL SSH_AUTH_SOCK
# dbus-run-session ends the bus, and with it the keyring daemon, when the
# command ends.
dbus-run-session -- sh -c '
    printf "%s" "throwaway-test-password" |
        gnome-keyring-daemon --unlock --components=secrets >/dev/null || exit 90
    exec "$@"' pagewick-keyring "$@"
