#!/bin/sh
# Runs a test inside a D-Bus session of its own, with an unlocked keyring serving the
# Secret Service from a temporary folder. The session ends with the test, and the keyring
# daemon, which leaves with its bus, with it; the folder is removed.
set -eu
if [ -z "${KAKIVA_TEST_KEYRING:-}" ]; then
  export KAKIVA_TEST_KEYRING=1
  exec dbus-run-session -- "$0" "$@"
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run"
# Returns once the daemon is up; the password on stdin creates and unlocks the login
# keyring, which then takes the secrets.
printf 'kakiva-test-keyring' | gnome-keyring-daemon --unlock --components=secrets >/dev/null
# It may return before it holds the Secret Service's name on the bus; a call made then would
# start a second, locked daemon through the bus.
owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
    grep -q 'boolean true'
}
tries=0
until owned; do
  tries=$((tries + 1))
  if [ $tries -gt 300 ]; then
    echo "with_keyring.sh: the keyring daemon did not take the Secret Service's name" >&2
    exit 1
  fi
  sleep 0.1
done
set +e
"$@"
status=$?
exit $status
