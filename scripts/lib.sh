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

jobs() { nproc 2>/dev/null || echo 2; }
