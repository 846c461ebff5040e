#!/usr/bin/env bash
# Takes the README's screenshots: the window after "Go" against the demo router, at 100 % and
# 200 % scaling and under a dark palette. Needs xvfb, xdotool, openbox and imagemagick.
# usage: tools/make-screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=docs

shoot() {  # shoot NAME SCALE [ENV...]
    local name=$1 scale=$2
    shift 2
    xvfb-run -a -s "-screen 0 $((480 * scale))x$((540 * scale))x24" env "$@" \
        QT_SCALE_FACTOR="$scale" bash -c '
        set -e
        openbox & sleep 1
        sim_out=$(mktemp)
        "$0/tools/router-sim/quorvane-router-sim" --password demo >"$sim_out" &
        sim=$!
        sleep 1
        read -r _ _ _ host port <"$sim_out"
        "$0/src/app/quorvane" & app=$!
        sleep 2
        xdotool search --sync --name "^Quorvane$" windowactivate --sync
        xdotool type demo
        xdotool key Tab Tab ctrl+a; xdotool type "$host"
        xdotool key Tab Tab Tab ctrl+a; xdotool type "$port"
        xdotool key Return
        sleep 2
        import -window root "$1"
        kill $app $sim' "$build" "$out/$name.png"
}

shoot screenshot 1
shoot screenshot-200 2
shoot screenshot-dark 1 QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark
