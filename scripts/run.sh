#!/usr/bin/env bash
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Kestrum cannot talk to a device or show its window yet (the controller is still being built): nothing to run."
