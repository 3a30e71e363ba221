#!/usr/bin/env bash
# Includes point down only: each folder may include itself and the folders listed for it, nothing else of
# the project's. Run from the source tree's root; prints every include that breaks the order.
set -u
declare -A allowed=(
    [base]="base"
    [web]="base web"
    [sources]="base web sources"
    [rank]="base web sources rank"
    [update]="base web update"
    [history]="base web history"
    [notify]="base web notify"
    [app]="base web sources rank update history app"
    [app/qt]="base web sources rank update history app app/qt"
    [cli]="base web sources rank update history notify app cli"
    [tools/sim]="base web tools/sim"
)
status=0
for folder in "${!allowed[@]}"; do
    [ -d "$folder" ] || continue
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -e "$file" ] || continue
        while IFS= read -r line; do
            target=${line#*\"}
            target=${target%\"*}
            dir=${target%/*}
            ok=0
            for a in ${allowed[$folder]}; do
                [ "$dir" = "$a" ] && ok=1
            done
            if [ $ok -eq 0 ]; then
                echo "$file includes $target, which is above or beside $folder"
                status=1
            fi
        done < <(grep -E '^#include "[a-z_/]+\.h"' "$file")
    done
done
exit $status
