#!/bin/sh
# Debian's proftpd and pure-ftpd for the tests, beside vsftpd: the three cannot be installed
# together (each is the system's ftp-server), so these two are only unpacked, into a directory
# of their own, and run from there with private configurations. Their shared libraries are
# installed when missing. Run as root with the Debian mirror reachable; a second run with
# everything in place does nothing.
#
#   unpack_ftp_servers.sh [directory]    (default /var/cache/kakiva-test-servers)
set -eu

destination=${1:-/var/cache/kakiva-test-servers}
root="$destination/root"
packages="proftpd-core pure-ftpd"

unpacked() {
    [ -x "$root/usr/sbin/proftpd" ] && [ -x "$root/usr/sbin/pure-ftpd" ] &&
        [ -f "$root/usr/lib/proftpd/mod_digest.so" ]
}

missing_libraries() {
    ldd "$root/usr/sbin/proftpd" "$root/usr/sbin/pure-ftpd" "$root/usr/lib/proftpd/mod_digest.so" |
        grep -c 'not found' || true
}

# Tests started side by side unpack once, one after the other.
mkdir -p "$destination"
exec 9>"$destination/.lock"
flock 9

if ! unpacked; then
    mkdir -p "$destination/debs"
    rm -f "$destination"/debs/*.deb
    (cd "$destination/debs" && apt-get download $packages)
    rm -rf "$root.new"
    for deb in "$destination"/debs/*.deb; do
        dpkg-deb -x "$deb" "$root.new"
    done
    rm -rf "$root"
    mv "$root.new" "$root"
fi

if [ "$(missing_libraries)" != 0 ]; then
    # The libraries the packages depend on, never the servers' own packages.
    libraries=$(for deb in "$destination"/debs/*.deb; do dpkg-deb -f "$deb" Depends; done |
        tr ',' '\n' | sed 's/(.*)//; s/|.*//' | awk '$1 ~ /^lib/ { print $1 }' | sort -u)
    apt-get install -y --no-install-recommends $libraries
fi

unpacked && [ "$(missing_libraries)" = 0 ]
