#!/usr/bin/env bash
# Sets up, builds, and backs up the bundled sample project once.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build
build/quillfort /p sample/Game /w "first backup" /silent
newest=$(ls -t sample/Game/_backups/*.zip | head -n 1)
echo "Wrote: $newest"
unzip -l "$newest"
