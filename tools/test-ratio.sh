#!/usr/bin/env bash
# Non-blank, non-comment lines of the tracked sources: tests/ against the rest.
# Prose, data and binary files do not count.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
    local n=0 f
    while IFS= read -r f; do
        case "$f" in
            *.md|*.txt|*.json|*.xml|*.supp|*.png|*.svg|*.desktop|*.conf|.gitignore) continue ;;
        esac
        grep -Iq . "$f" 2>/dev/null || continue
        n=$((n + $(grep -cvE '^\s*($|//|/\*|\*|#[^!a-z]|#$)' "$f" || true)))
    done
    echo "$n"
}
tests=$(git ls-files tests | count)
rest=$(git ls-files | grep -v '^tests/' | count)
echo "tests $tests, rest $rest, ratio $((100 * tests / rest)) %"
