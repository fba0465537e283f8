# Sourced by scripts/run and scripts/test: installs the Debian packages the
# workbench needs, only those that are missing.
ETALON_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev libtbb-dev libsndfile1-dev
  qt6-base-dev libgl-dev
  # Tests deliver the window system's close request through Qt's platform interface.
  qt6-base-private-dev fonts-dejavu-core fonts-dejavu-extra
  imagemagick
  # rsvg-convert: the tests draw saved SVG pictures with librsvg, a renderer
  # of their own, to compare them with the window.
  librsvg2-bin
  # The Python module and its tests; SciPy and matplotlib for its example.
  pybind11-dev python3-dev python3-numpy python3-pytest python3-scipy python3-matplotlib
  # simulate over MPI ranks; without it etalon-cli is built without them.
  libopenmpi-dev openmpi-bin
  # The Debian package: man pages from the programs' help, Depends from the
  # shared libraries (dpkg-shlibdeps, which CPack finds the binaries for with
  # file), the desktop entry checked.
  help2man dpkg-dev file desktop-file-utils
  # pip install . into a virtual environment, offline, with setuptools
  # driving the CMake build.
  python3-venv python3-setuptools python3-wheel
  # The notebook executed top to bottom.
  python3-nbconvert python3-nbclient python3-ipykernel
  # The tracked C++ files checked against .clang-format.
  clang-format-14
)

etalon_install_missing() {
  local missing=()
  local package
  for package in "${ETALON_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
