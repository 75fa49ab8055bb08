# Sourced by the scripts that run Wine: what this machine's Wine can run, and a way past Wine's
# 32-bit loader where the machine cannot run it.
#
# Some kernels have 32-bit emulation switched off: every 32-bit Linux program there fails with
# "Exec format error". Once Wine's 32-bit half (wine32:i386) is installed on such a machine, plain
# `wine` picks its 32-bit loader and every Wine call fails, 64-bit programs too. There, `wine` and
# `wine-stable` (which wineboot, regedit and the other tools call) are put first on PATH as
# Wine's 64-bit loader (tools/scripts/wine64-only), and WINELOADER names that loader.
#
# QANO_RUN_32BIT=no makes this machine count as one that cannot run 32-bit programs.

# Whether this machine runs 32-bit Linux programs: the 32-bit loader (package libc6-i386, no
# foreign architecture needed) starts.
qano_runs_32bit() {
  [ "${QANO_RUN_32BIT:-}" != no ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# Why qano_runs_32bit fails, in a few words.
qano_32bit_reason() {
  if [ "${QANO_RUN_32BIT:-}" = no ]; then
    echo "QANO_RUN_32BIT=no"
  elif [ ! -e /lib/ld-linux.so.2 ]; then
    echo "the 32-bit loader /lib/ld-linux.so.2 is missing"
  else
    local why
    why=$(/lib/ld-linux.so.2 --version 2>&1 >/dev/null | head -n1 || true)
    echo "the kernel does not run 32-bit programs${why:+ ($why)}"
  fi
}

# Whether Wine runs 32-bit Windows programs here, databases included: its 32-bit half, the 32-bit
# ODBC driver manager and the 32-bit MDBTools driver are installed, and 32-bit programs run.
qano_wine32_files=(/usr/lib/wine/wine /usr/lib/i386-linux-gnu/libodbc.so.2
                   /usr/lib/i386-linux-gnu/odbc/libmdbodbc.so)
qano_wine_runs_32bit() {
  local f
  qano_runs_32bit || return 1
  for f in "${qano_wine32_files[@]}"; do [ -e "$f" ] || return 1; done
}

# Why qano_wine_runs_32bit fails, in a few words.
qano_wine32_reason() {
  local f
  if ! qano_runs_32bit; then
    qano_32bit_reason
    return
  fi
  for f in "${qano_wine32_files[@]}"; do
    [ -e "$f" ] || { echo "Wine's 32-bit half is not installed ($f is missing)"; return; }
  done
}

if [ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wine64 ] && ! qano_runs_32bit; then
  qano_wine64_only="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64-only"
  case ":$PATH:" in
    *":$qano_wine64_only:"*) ;;
    *) export PATH="$qano_wine64_only:$PATH" ;;
  esac
  export WINELOADER=/usr/lib/wine/wine64
  unset qano_wine64_only
fi

# Whether Wine can still run programs in the prefix $1: a prefix made before Wine's 32-bit half
# was installed, for one, no longer starts cmd ("could not load kernel32.dll, status c0000135").
qano_prefix_runs() {
  local out
  out=$(WINEPREFIX="$1" WINEDEBUG=-all wine cmd /c echo qano-prefix-runs 2>/dev/null </dev/null) ||
    return 1
  [[ "$out" == *qano-prefix-runs* ]]
}
