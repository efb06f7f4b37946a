#!/usr/bin/env bash
# Starts the application; without a display, headless (the PIN is printed).
set -euo pipefail
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
    echo "No display: running headless."
    exec "$@" --headless
fi
exec "$@"
