#!/usr/bin/env bash
# Fails when a source under src/ includes from a layer above its own.
#
# Layers, lowest first: platform, db, foundation, data, calc, then desk,
# reports and archive side by side (none includes another), then app.
# A folder's ui/ sits above the folder's own code; desk and app are windows
# throughout. Code outside ui/, desk and app includes no ui/ header and no
# Qt Widgets header, so the engine stays testable without windows.
#
# Usage: check-layers.sh [QtWidgets header folder]
# Without the argument the folder is asked of qmake6.
cd "$(dirname "$0")/.." || exit 2

widgets=${1:-}
if [ -z "$widgets" ]; then
    headers=$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || qmake -query QT_INSTALL_HEADERS 2>/dev/null)
    widgets=$headers/QtWidgets
fi
if [ ! -f "$widgets/QWidget" ]; then
    echo "check-layers: no Qt Widgets headers in '$widgets'" >&2
    exit 2
fi
gui=$(dirname "$widgets")/QtGui

rank_of() {
    case $1 in
    platform) echo 0 ;;
    db) echo 1 ;;
    foundation) echo 2 ;;
    data) echo 3 ;;
    calc) echo 4 ;;
    desk | reports | archive) echo 5 ;;
    app) echo 6 ;;
    *) echo -1 ;;
    esac
}

# Sets top, rank and ui for a path relative to src/.
place() {
    top=${1%%/*}
    rank=$(rank_of "$top")
    local rest=${1#*/}
    ui=0
    case $top in desk | app) ui=1 ;; esac
    [ "${rest%%/*}" = ui ] && ui=1
}

is_widgets_header() {
    local name=$1
    case $name in
    QtWidgets | QtWidgets/*) return 0 ;;
    */*) return 1 ;;
    Q*) [ -f "$widgets/$name" ] && return 0 ;;
    q*.h) [ -f "$widgets/$name" ] && [ ! -f "$gui/$name" ] && return 0 ;;
    esac
    return 1
}

bad=0
report() {
    echo "$1:$2: $3"
    bad=1
}

while IFS= read -r file; do
    rel=${file#src/}
    case $rel in */*) ;; *) continue ;; esac # src/CMakeLists.txt and the like
    place "$rel"
    ftop=$top frank=$rank fui=$ui
    if [ "$frank" -lt 0 ]; then
        report "$file" 1 "folder '$ftop' has no place in the layer order (scripts/check-layers.sh)"
        continue
    fi
    while IFS= read -r hit; do
        line=${hit%%:*}
        text=${hit#*:}
        if [[ $text =~ \#[[:space:]]*include[[:space:]]*\<([^>]+)\> ]]; then
            name=${BASH_REMATCH[1]}
            if [ "$fui" = 0 ] && is_widgets_header "$name"; then
                report "$file" "$line" "engine code includes the Qt Widgets header <$name>"
            fi
            continue
        fi
        [[ $text =~ \#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]] || continue
        name=${BASH_REMATCH[1]}
        # Project headers are named from src/; a name beside the file is
        # taken as it resolves. Anything else (generated files) is not ours.
        if [ -f "${file%/*}/$name" ]; then
            target=$(realpath --relative-to=src -m "${file%/*}/$name")
        elif [ -f "src/$name" ]; then
            target=$name
        else
            continue
        fi
        case $target in ../*) continue ;; esac
        place "$target"
        if [ "$rank" -lt 0 ]; then
            continue
        elif [ "$fui" = 0 ] && [ "$ui" = 1 ]; then
            report "$file" "$line" "engine code includes the window header \"$name\""
        elif [ "$rank" -gt "$frank" ]; then
            report "$file" "$line" "includes \"$name\" from $top, a layer above $ftop"
        elif [ "$rank" -eq "$frank" ] && [ "$top" != "$ftop" ]; then
            report "$file" "$line" "includes \"$name\" from $top, a sibling layer of $ftop"
        fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(find src -type f \( -name '*.cpp' -o -name '*.h' \) | sort)

[ "$bad" = 0 ] && echo "check-layers: every include points down the layers"
exit "$bad"
