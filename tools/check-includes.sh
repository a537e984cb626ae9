#!/usr/bin/env bash
# Fails when a product source includes a header from a folder above its own.
# The folders form one order, each allowed to include only its own headers and those below it:
#   base < host < catalogue < search < {results, exchange} < app
# results/ and exchange/ are siblings: neither includes the other. resources/ids.h names the
# controls and resources and includes nothing, so every folder may include it.
# Usage: tools/check-includes.sh [ROOT]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
rank() {
    case $1 in
    base) echo 0 ;; host) echo 1 ;; catalogue) echo 2 ;; search) echo 3 ;;
    results | exchange) echo 4 ;; app) echo 5 ;; *) echo -1 ;;
    esac
}
bad=0
for dir in base host catalogue search results exchange app; do
    [ -d "$dir" ] || continue
    own=$(rank "$dir")
    while IFS=: read -r file line target; do
        to=${target%%/*}
        [ "$to" = "$dir" ] || [ "$to" = resources ] && continue
        r=$(rank "$to")
        if [ "$r" -lt 0 ] || [ "$r" -ge "$own" ]; then
            echo "$file:$line: includes $target, which is not below $dir/" >&2
            bad=1
        fi
    done < <(grep -Hn -o '^#include "[^"]*/[^"]*"' "$dir"/*.h "$dir"/*.cpp 2>/dev/null |
        sed 's/#include "\(.*\)"/\1/')
done
if [ $bad -ne 0 ]; then
    echo "include order: FAILED (base < host < catalogue < search < {results, exchange} < app)" >&2
    exit 1
fi
echo "include order: every include points down"
