#!/usr/bin/env bash
# The Debian packages of a release build (`make package`), as Debian's own checker sees them:
# lintian reports no error and no warning on any of the three (it checks, among much else, the
# copyright file, the changelog, stripped binaries, manual pages for the programs, the shared
# library's ldconfig trigger and shlibs, and the descriptions). Beyond lintian: each package
# holds what it is for and depends on the library package as it must.
#
# Usage: check_packages.sh RELEASE_BUILD_DIR
set -uo pipefail
dir=$1
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

declare -A deb
for package in libmaillink1 libmaillink-dev relaytool; do
    files=("$dir/${package}"_*.deb)
    if [[ ${#files[@]} -ne 1 || ! -f ${files[0]} ]]; then
        echo "FAIL: expected one ${package}_*.deb in $dir, found: ${files[*]}"
        exit 1
    fi
    deb[$package]=${files[0]}
done
version=$(dpkg-deb -f "${deb[libmaillink1]}" Version)

# lintian prints its tags on standard output; "running with root privileges" goes to standard
# error and is no finding.
tags=$(lintian --fail-on error,warning "${deb[@]}" 2>/dev/null)
rc=$?
if [[ $rc -ne 0 || -n $tags ]]; then
    fail "lintian (exit $rc):"$'\n'"$tags"
fi

# PACKAGE | files it must hold (shell patterns, relative to /)
while IFS='|' read -r package wanted; do
    contents=$(dpkg-deb -c "${deb[$package]}" | awk '{ print substr($6, 3) }')
    for pattern in $wanted; do
        # shellcheck disable=SC2053 # the pattern is a glob on purpose
        grep -qx "$(sed 's/\*/[^\/]*/g' <<<"$pattern")" <<<"$contents" || fail "$package lacks $pattern"
    done
done <<'HOLDS'
libmaillink1|usr/lib/*/libmaillink.so.1 usr/share/doc/libmaillink1/copyright
libmaillink-dev|usr/include/maillink.h usr/lib/*/libmaillink.so usr/lib/*/pkgconfig/maillink.pc usr/lib/*/cmake/Maillink/MaillinkConfig.cmake usr/lib/*/cmake/Maillink/MaillinkTargets.cmake
relaytool|usr/bin/relaytool usr/bin/relaycfg usr/share/man/man1/relaytool.1.gz usr/share/man/man1/relaycfg.1.gz usr/share/bash-completion/completions/relaycfg usr/share/applications/relaytool.desktop usr/share/metainfo/org.relaytool.relaytool.metainfo.xml usr/share/icons/hicolor/128x128/apps/relaytool.png
HOLDS

depends_on() {
    [[ ", $(dpkg-deb -f "${deb[$1]}" Depends), " == *", $2, "* ]] || fail "$1 does not depend on \"$2\""
}
depends_on libmaillink-dev "libmaillink1 (= $version)"
depends_on relaytool "libmaillink1 (>= $version)"
[[ $(dpkg-deb -I "${deb[libmaillink1]}" triggers 2>/dev/null) == "activate-noawait ldconfig" ]] ||
    fail "libmaillink1 does not trigger ldconfig"

if ((failures > 0)); then
    exit 1
fi
for package in "${!deb[@]}"; do
    printf '%-16s %8d bytes  %s\n' "$package" "$(stat -c %s "${deb[$package]}")" "${deb[$package]}"
done
echo "lintian: no error, no warning; every package holds its files"
