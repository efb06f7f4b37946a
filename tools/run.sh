#!/usr/bin/env bash
# Starts the application; off-screen when there is no display to show it on.
set -euo pipefail
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    export QT_QPA_PLATFORM=offscreen
    echo "No display: running off-screen."
fi
exec "$@"
