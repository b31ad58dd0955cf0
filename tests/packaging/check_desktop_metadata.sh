#!/usr/bin/env bash
# The desktop entry passes desktop-file-validate without a single message (hints included), and
# the AppStream metadata passes `appstreamcli validate` pedantically (no network: the screenshot's
# address is not fetched).
#
# Usage: check_desktop_metadata.sh DESKTOP_ENTRY METAINFO
set -uo pipefail
desktop=$1
metainfo=$2
failures=0

messages=$(desktop-file-validate "$desktop" 2>&1)
if [[ $? -ne 0 || -n $messages ]]; then
    echo "FAIL: desktop-file-validate $desktop:"$'\n'"$messages"
    failures=$((failures + 1))
fi

messages=$(appstreamcli validate --no-net --pedantic --no-color "$metainfo" 2>&1)
if [[ $? -ne 0 ]] || grep -qE '^[EWIP]: ' <<<"$messages"; then
    echo "FAIL: appstreamcli validate $metainfo:"$'\n'"$messages"
    failures=$((failures + 1))
fi

((failures == 0)) && echo "$(basename "$desktop") and $(basename "$metainfo") validate cleanly"
exit $((failures > 0))
