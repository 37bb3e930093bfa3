#!/usr/bin/env bash
# The package as users get it: pip-installs python/ into a fresh virtual
# environment (Debian's packages seen through --system-site-packages, no
# index, no build isolation: offline), then runs the test suite from outside
# the source tree, so that `import markeye` finds the installed package.
#   test_installed.sh PYTHON WORK_DIR MARKEYE_PROGRAM
set -euo pipefail
python=$1
work=$2
export MARKEYE_CLI=$3
source_dir=$(cd "$(dirname "$0")/.." && pwd)

rm -rf "$work"
mkdir -p "$work"
"$python" -m venv --system-site-packages "$work/venv"
MARKEYE_BUILD_BASE="$work/pip-build" "$work/venv/bin/python" -m pip install --no-build-isolation --no-index \
  --quiet "$source_dir"
cd "$work"
location=$("$work/venv/bin/python" -c 'import markeye; print(markeye.__file__)')
case "$location" in
  "$work/venv/"*) echo "markeye imported from $location" ;;
  *) echo "markeye imported from $location, not from the virtual environment"; exit 1 ;;
esac
PYTHONDONTWRITEBYTECODE=1 "$work/venv/bin/python" -m pytest -q -p no:cacheprovider "$source_dir/tests"
