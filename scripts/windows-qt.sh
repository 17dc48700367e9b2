#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# windows-qt.sh: builds Qt 6 (Core, Gui, Widgets) as static MinGW-w64
# libraries from Debian's own qt6-base source, the same version as the host's
# Qt, which serves as the host tools. The result is cached outside the
# checkout, keyed by the Qt version, the compiler version and the options
# below, so that later runs cost seconds. Prints the Qt prefix on its last
# line. A first build compiles about 860 files, some 50 minutes of processor
# time: about half an hour on 2 idle cores, an hour on 2 shared with other
# builds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# What the window uses, and nothing more: no network, SQL, D-Bus, printing,
# OpenGL or Vulkan. Debian's cleaned source has no wintab, hence no tablets.
options=(
  -static -release -xplatform win32-g++ -qt-host-path /usr
  -nomake examples -nomake tests -no-pkg-config -no-opengl
  -no-feature-vulkan -no-feature-tabletevent -no-feature-network -no-feature-sql
  -no-feature-dbus -no-feature-printsupport -no-feature-testlib -no-feature-concurrent
  -no-feature-xml -qt-zlib -qt-pcre -qt-libpng -qt-harfbuzz -qt-freetype
  -no-zstd
  # The window is one plain QWidget with labels, buttons, a scroll bar, a
  # context menu, message boxes (detailed text: QTextEdit) and file dialogs
  # (Qt's own for the folder: tree and list views, combo box, completer,
  # splitter, tool buttons, line edit). Nothing below is among them or
  # reached by them, nor by the tests.
  # No dock widgets, status bar, MDI or graphics view. QMainWindow, its tool
  # bars, the menu bar and QInputDialog stay, unused: Qt 6.4 builds the
  # first three's old addAction overloads (src/widgets/compat/removed_api.cpp)
  # and the Windows style includes qinputdialog.h, both without a feature
  # guard, so turning them off fails the build.
  -no-feature-dockwidget -no-feature-statusbar -no-feature-mdiarea -no-feature-graphicsview
  -no-feature-graphicseffect
  # Widgets and dialogs the window never shows.
  -no-feature-calendarwidget -no-feature-datetimeedit -no-feature-lcdnumber -no-feature-dial
  -no-feature-fontcombobox -no-feature-keysequenceedit -no-feature-toolbox
  -no-feature-splashscreen -no-feature-textbrowser -no-feature-syntaxhighlighter
  -no-feature-columnview -no-feature-treewidget -no-feature-tablewidget
  -no-feature-datawidgetmapper -no-feature-undoview -no-feature-fontdialog
  -no-feature-colordialog -no-feature-errormessage -no-feature-progressdialog
  -no-feature-wizard
  # No undo, PDF, ODF or Markdown documents or tray icon. Direct2D stays:
  # without it Qt 6.4 leaves the DirectWrite font engine out of QtGui, which
  # the Windows platform still calls, and the window fails to link.
  # Pictures: the window's icon is PNG (built in) and the tests read GIF;
  # nothing reads JPEG or ICO through Qt.
  -no-feature-undocommand -no-feature-undostack -no-feature-undogroup -no-feature-pdf
  -no-feature-textodfwriter -no-feature-textmarkdownreader -no-feature-textmarkdownwriter
  -no-feature-systemtrayicon -no-feature-jpeg -no-feature-ico
)
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
key=$(printf '%s\n' "$version" "$compiler" "${options[@]}" \
      "$(cat "$root/cmake/mingw-w64-compilers.cmake")" | sha256sum | cut -c1-16)
cache=${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/mervane-build
prefix=$cache/qt-${version%%+*}-mingw-$compiler-$key
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work=$cache/qt-work-$key
rm -rf "$work" "$prefix"
"$root/scripts/debian-source.sh" "$work" "qt6-base=$version"
source_dir=$(echo "$work"/qt6-base-*/)

mkdir -p "$work/build"
cd "$work/build"
"$source_dir/configure" -prefix "$prefix" "${options[@]}" -- -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-compilers.cmake" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >"$work/configure.log" 2>&1 ||
  { tail -n 40 "$work/configure.log"; exit 1; }
cmake --build . --parallel 2 >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log"; exit 1; }
cmake --install . >/dev/null
# Counted as built only once whole; the 2 GB build tree goes.
touch "$prefix/.complete"
cd / && rm -rf "$work"
echo "$prefix"
