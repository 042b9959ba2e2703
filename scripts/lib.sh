# Shared by the scripts in this folder. Source it; do not run it.

# Installs the Debian packages named that are not installed yet. Nothing is
# installed when all are present, so the scripts run offline on a machine
# that already has them.
need_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# The packages every native build needs.
need_build_packages() {
    need_packages cmake make g++ libgtest-dev libbenchmark-dev
}

# The packages the Python module, its tests and its Dask example need.
need_python_packages() {
    need_packages python3-dev python3-venv python3-setuptools python3-wheel python3-pip \
        pybind11-dev python3-pybind11 python3-pytest python3-dask python3-distributed
}

# Makes a fresh virtual environment in the folder $1 (Debian's Python 3
# with its packages) and installs the module from this checkout into it,
# as the README tells a user to; its extension is built in
# build/python-module, where later installs rebuild only what changed.
# Extra arguments go to the module's CMake configuration.
make_python_venv() {
    local venv=$1
    shift
    rm -rf "$venv"
    /usr/bin/python3 -m venv --system-site-packages "$venv"
    PARAFOLD_CMAKE_ARGS="$*" "$venv/bin/pip" install --no-index --no-build-isolation --quiet .
}

jobs() { nproc 2>/dev/null || echo 2; }
