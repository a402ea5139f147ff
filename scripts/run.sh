#!/usr/bin/env bash
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Kestrum has no executable yet: nothing to run."
