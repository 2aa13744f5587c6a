#!/usr/bin/env bash
# Lays down a Tunex base folder at $1 from the shipped one at $2, unless one is there already.
# Existing files are never overwritten.
set -euo pipefail
target=$1
source=$2
if [ -e "$target/system/system.ifo" ]; then
  exit 0
fi
mkdir -p "$target"
cp -R -n "$source"/. "$target"/
echo "Tunex: new base folder at $target"
