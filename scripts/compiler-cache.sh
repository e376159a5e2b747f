# Sourced by the build scripts: compile through ccache when it is installed
# (scripts/setup.sh installs it), with paths taken relative to the checkout
# so that another checkout of the same sources reuses the cache. Without the
# precompiled headers: they hold the build folder's path, so no file compiled
# with them would be found again from another checkout. Sets `launcher` for
# cmake's configure step.
launcher=()
if command -v ccache > /dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DDT_PCH=OFF)
fi
