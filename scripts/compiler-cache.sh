# Sourced by the build scripts: compile through ccache when it is installed
# (scripts/setup.sh installs it), with paths taken relative to the checkout
# so that another checkout of the same sources reuses the cache, and with
# the precompiled headers allowed. Sets `launcher` for cmake's configure step.
launcher=()
if command -v ccache > /dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  export CCACHE_SLOPPINESS="pch_defines,time_macros,include_file_mtime,include_file_ctime"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
