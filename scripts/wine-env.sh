# Source this file: a private Wine prefix and a virtual X display for the programs under test.
#   WINEPREFIX     the prefix (default: build/wineprefix-<arch>); created when missing
#   E2E_ARCH       win32 when this machine runs 32-bit Linux binaries (and so wine32), else win64:
#                  the end-to-end tests then run a 64-bit build of the same sources under wine64.
#                  Set it to win64 beforehand to take that path on a machine that runs wine32 too
#                  (E2E_ARCH=win64 bash scripts/test.sh).
#   E2E_TOOLCHAIN  the CMake toolchain file of that build
#   wine_env_stop  ends the prefix's programs and the display
#   e2e_build LOG  sets E2E_BUILD to the build whose programs run here: build/win32, or build/win64
#                  (the x86_64 build of the same sources, made now; its output goes to LOG)
_wine_env_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [ -z "${E2E_ARCH:-}" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then E2E_ARCH=win32; else E2E_ARCH=win64; fi
elif [ "$E2E_ARCH" != win32 ] && [ "$E2E_ARCH" != win64 ]; then
  echo "wine-env: E2E_ARCH is win32 or win64, not '$E2E_ARCH'" >&2
  return 1
fi
if [ "$E2E_ARCH" = win32 ]; then
  export E2E_ARCH=win32 WINEARCH=win32
  export E2E_TOOLCHAIN=$_wine_env_root/cmake/mingw-i686.cmake
else
  # The kernel has its 32-bit emulation switched off (the wine32 loader cannot start), or the
  # 64-bit path was asked for.
  export E2E_ARCH=win64 WINEARCH=win64
  export E2E_TOOLCHAIN=$_wine_env_root/cmake/mingw-x86_64.cmake
  # /usr/bin/wine prefers the 32-bit loader whenever it is installed: point `wine` at wine64.
  export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
  mkdir -p "$_wine_env_root/build/winebin"
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$_wine_env_root/build/winebin/wine"
  printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' >"$_wine_env_root/build/winebin/wineserver"
  chmod +x "$_wine_env_root/build/winebin/wine" "$_wine_env_root/build/winebin/wineserver"
  case ":$PATH:" in *":$_wine_env_root/build/winebin:"*) ;; *) export PATH="$_wine_env_root/build/winebin:$PATH" ;; esac
fi
export WINEPREFIX=${WINEPREFIX:-$_wine_env_root/build/wineprefix-$E2E_ARCH}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# A display of our own: Wine cannot create windows without one.
if [ -z "${WINE_ENV_XVFB_PID:-}" ]; then
  _n=91
  while [ -e "/tmp/.X11-unix/X$_n" ] || [ -e "/tmp/.X$_n-lock" ]; do _n=$((_n + 1)); done
  Xvfb ":$_n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  export WINE_ENV_XVFB_PID=$!
  export DISPLAY=":$_n"
  for _i in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$_n" ] && break; sleep 0.1; done
  [ -e "/tmp/.X11-unix/X$_n" ] || { echo "wine-env: Xvfb did not start" >&2; return 1; }
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wine wineboot -i </dev/null >/dev/null 2>&1 || true
  wineserver -w || true
  # Xvfb has no window manager: let Wine draw the frames and captions itself, as Windows would.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null 2>&1 || true
  wineserver -w || true
fi
# Keep one wineserver for the whole session, so that every test does not pay its start-up.
wineserver -p </dev/null >/dev/null 2>&1 || true
# The caption buttons are letters of the Marlett font. fonts-wine puts marlett.ttf in
# /usr/share/wine/fonts, but Debian's Wine looks for its fonts in "<data dir>\../fonts", a path whose
# ".." Wine's file names do not resolve, and so draws the buttons as "0 1 r" in a fallback font. The
# prefix gets Marlett in its own Fonts folder, where Windows keeps it. Only Marlett: Wine's Tahoma
# too would change the face of every dialog (Wine substitutes it for "MS Shell Dlg"), a change of
# its own. Copied on every start, so that prefixes made before this line get it too.
cp -f /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
# An applet that an earlier session installed must not start by itself in this one, in the
# middle of a test: its autostart value goes before the Run key is read.
wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v 'TV Card Remote Control Device Monitor' /f \
  </dev/null >/dev/null 2>&1 || true
# Xvfb has no window manager, yet Wine hands captioned windows to one and, on hiding such a window
# (a dialog's end, a closed program), waits about two seconds for the manager's answer that never
# comes. Unmanaged, Wine places, activates and hides every window itself, at once; with Decorated=N
# it already draws their frames. Set on every start, for prefixes made before this line too.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
# Start the prefix's background programs (services, explorer with the notification area) now,
# detached from our streams: started by a test, they would hold its output pipe open.
wine wineboot </dev/null >/dev/null 2>&1 || true

wine_env_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${WINE_ENV_XVFB_PID:-}" ]; then
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    unset WINE_ENV_XVFB_PID
  fi
}

e2e_build() {
  if [ "$E2E_ARCH" = win32 ]; then
    E2E_BUILD=build/win32
    return
  fi
  echo "(E2E_ARCH=win64: the x86_64 build of the same sources runs under wine64)"
  E2E_BUILD=build/win64
  cmake -S "$_wine_env_root" -B "$_wine_env_root/$E2E_BUILD" -DCMAKE_TOOLCHAIN_FILE="$E2E_TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build "$_wine_env_root/$E2E_BUILD" -j2 >"$1" 2>&1 || { cat "$1"; return 1; }
}
