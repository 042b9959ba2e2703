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

# The packages every native build needs (man-db for the tests of the
# manual page).
need_build_packages() {
    need_packages cmake make g++ libgtest-dev libbenchmark-dev man-db
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

# Checks that a release is reproducible: makes two fresh clones of this
# checkout's commit under build/reproducible-NAME.*, in folders of different
# names and depths, runs COMMAND (one word: a script of the clone, e.g.
# scripts/package-linux.sh) in each, and compares the FILEs it made (paths
# from the clone's top, e.g. dist/x.zip) byte for byte between them, and
# with this checkout's own when it holds no uncommitted change.
# Usage: check_reproducible NAME COMMAND FILE...
check_reproducible() {
    local name=$1 command=$2
    shift 2
    local root=$PWD clones dir file other started
    # A folder of this run's own, so that two runs at once do not meet.
    mkdir -p build
    clones=$(mktemp -d "build/reproducible-$name.XXXXXX")
    echo "== reproducible: two fresh clones of $(git rev-parse --short HEAD)"
    for dir in "$clones/one/parafold" "$clones/the-second-clone/in/a/deeper/folder"; do
        started=$SECONDS
        git clone --quiet --no-checkout "$root" "$dir"
        git -C "$dir" fetch --quiet "$root" HEAD
        git -C "$dir" checkout --quiet --detach FETCH_HEAD
        (cd "$dir" && "$command" >package.log 2>&1) ||
            { echo "$command in $dir failed; see $dir/package.log" >&2; return 1; }
        echo "$dir: cloned, built and packaged in $((SECONDS - started)) s"
    done
    local others=("$clones/the-second-clone/in/a/deeper/folder")
    if [ -z "$(git status --porcelain --untracked-files=no)" ]; then
        others+=(.)
    else
        echo "(this checkout has uncommitted changes: its files are not compared)"
    fi
    for file in "$@"; do
        for other in "${others[@]}"; do
            cmp "$clones/one/parafold/$file" "$other/$file" || return 1
        done
        echo "$file: identical in ${#others[@]} other place(s)"
    done
    rm -rf "$clones"
}
