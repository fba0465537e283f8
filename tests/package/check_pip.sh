#!/usr/bin/env bash
# pip install . into a fresh virtual environment of the system's Python (whose
# NumPy is Debian's), offline with the system's build tools; then the module
# imports from the environment, carries the project's version and restores.
#   tests/package/check_pip.sh BUILD-DIR   (the Release build, for its version)
set -euo pipefail
cd "$(dirname "$0")/../.."
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt")
venv=$(mktemp -d)
trap 'rm -rf "$venv"' EXIT
/usr/bin/python3 -m venv --system-site-packages "$venv"
"$venv/bin/pip" install --quiet --no-build-isolation --no-index --no-cache-dir .
[ "$("$venv/bin/pip" show etalon-workbench | sed -n 's/^Version: //p')" = "$version" ] ||
  { echo "check_pip: pip reports another version than $version" >&2; exit 1; }
# From elsewhere, so the source tree cannot stand in for the installed module.
cd /
"$venv/bin/python" - "$venv" "$version" <<'PY'
import sys
import etalon
venv, version = sys.argv[1:]
assert etalon.__file__.startswith(venv), etalon.__file__
assert etalon.__version__ == version, etalon.__version__
series = etalon.make_series(type=4, noise=20, sequence=[5] * 30)
assert len(etalon.recognize(series.samples)[0].positions) > 0
print(f"check_pip: etalon {etalon.__version__} installed in a fresh venv and imported")
PY
