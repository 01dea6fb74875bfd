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
set +e
"$@"
status=$?
exit $status
