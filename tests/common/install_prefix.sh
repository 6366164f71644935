# Sourced by the install tests: installs build $1 into a fresh prefix under
# $work and isolates the user's and the machine's folders. The caller sets
# work (a temporary folder it removes) and fail().
install_into_prefix() {
  cmake --install "$1" --prefix "$work/prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }
  export HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config"
  export XDG_STATE_HOME="$work/home/state" XDG_DATA_DIRS="$work/none"
  mkdir -p "$HOME"
}
