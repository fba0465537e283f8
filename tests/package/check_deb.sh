#!/usr/bin/env bash
# Checks the Debian package scripts/package made: its contents and control
# fields, the desktop entry, that the man page lists every option the program's
# help does, and that the programs and the module run from the extracted tree.
#   tests/package/check_deb.sh PACKAGE.deb BUILD-DIR
set -euo pipefail
deb=$1
build=$2
fail() { echo "check_deb: $*" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in usr/bin/etalon-cli usr/bin/etalon-workbench \
  usr/share/applications/etalon-workbench.desktop \
  usr/share/icons/hicolor/scalable/apps/etalon-workbench.svg \
  usr/share/icons/hicolor/64x64/apps/etalon-workbench.png \
  usr/share/man/man1/etalon-cli.1.gz usr/share/man/man1/etalon-workbench.1.gz \
  usr/share/doc/etalon-workbench/copyright; do
  grep -qx "\./$path" <<<"$contents" || fail "$path is missing"
done
grep -qx '\./usr/lib/python3/dist-packages/etalon\.cpython-[0-9]*-.*\.so' <<<"$contents" ||
  fail "the module is not in /usr/lib/python3/dist-packages"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}')
stray=$(grep -v '^\./usr/\(bin\|lib/python3/dist-packages\|share/\(applications\|icons\|man\|doc/etalon-workbench\)\)/' \
  <<<"$files" || true)
[ -z "$stray" ] || fail "files outside the expected folders: $stray"

[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version), not $version"
depends=$(dpkg-deb -f "$deb" Depends)
python=$(python3 -c 'import sys; print(f"{sys.version_info[0]}.{sys.version_info[1]}")')
for needed in python3-numpy "python3 (>= $python~)" "python3 (<< " libc6 libqt6widgets6 libsndfile1; do
  grep -qF "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

entry=$root/usr/share/applications/etalon-workbench.desktop
# Hints (two main categories, as asked for) are not faults.
if command -v desktop-file-validate >/dev/null; then
  verdict=$(desktop-file-validate "$entry") || fail "desktop entry: $verdict"
fi
grep -qx 'Exec=etalon-workbench' "$entry" || fail "Exec takes arguments: $(grep ^Exec "$entry")"
grep -q '^Categories=.*Science' "$entry" && grep -q '^Categories=.*Education' "$entry" ||
  fail "Categories lack Science or Education"
[ "$(file -b --mime-type "$root/usr/share/icons/hicolor/64x64/apps/etalon-workbench.png")" = image/png ] ||
  fail "the PNG icon is no PNG"

# Every option of the program and of each subcommand, as --help lists them.
cli=$root/usr/bin/etalon-cli
page=$(zcat "$root/usr/share/man/man1/etalon-cli.1.gz" | sed 's/\\-/-/g')
subcommands=$("$cli" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p')
[ -n "$subcommands" ] || fail "no subcommands in etalon-cli --help"
for sub in "" $subcommands; do
  grep -qF "etalon-cli $sub" <<<"$page" || fail "the man page lacks the subcommand $sub"
  for option in $("$cli" $sub --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    # Under the subcommand's own heading, not just somewhere.
    section=$(awk -v sub_="etalon-cli $sub [OPTIONS]" 'index($0, sub_) { on = 1; next }
      on && /^\.SS/ { on = 0 } on' <<<"$page")
    [ -z "$sub" ] && section=$page
    grep -qE -- "$option([^a-z-]|$)" <<<"$section" || fail "the man page lacks $sub $option"
  done
done

# The extracted programs and module run, and all carry the one version.
[ "$("$cli" --version)" = "etalon-cli $version" ] || fail "etalon-cli --version: $("$cli" --version)"
"$cli" process --noise 20 --count 1 | grep -q '"chains"' || fail "etalon-cli process printed no chains"
[ "$("$root/usr/bin/etalon-workbench" --version)" = "etalon-workbench $version" ] ||
  fail "etalon-workbench --version: $("$root/usr/bin/etalon-workbench" --version)"
PYTHONPATH=$root/usr/lib/python3/dist-packages /usr/bin/python3 - "$root" "$version" <<'PY'
import sys
import etalon
root, version = sys.argv[1:]
assert etalon.__file__.startswith(root), etalon.__file__
assert etalon.__version__ == version, etalon.__version__
series = etalon.make_series(type=4, noise=20, sequence=[3] * 30)
assert len(etalon.recognize(series.samples)[0].positions) > 0
PY
echo "check_deb: $(basename "$deb") holds $(grep -c . <<<"$contents") entries; all checks passed"
