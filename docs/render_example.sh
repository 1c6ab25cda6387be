#!/usr/bin/env bash
# Renders docs/example.png from the bundled example (see render_example.py),
# with a virtual X display where VTK needs one (Debian's xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${DISPLAY:-}" ]; then
  /usr/bin/python3 docs/render_example.py "$@"
else
  xvfb-run -a -s "-screen 0 1024x768x24" /usr/bin/python3 docs/render_example.py "$@"
fi
