#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# debian-source.sh FOLDER PACKAGE...: fetches and unpacks Debian's source
# packages (with Debian's patches applied) into FOLDER, through a source list
# of its own, so that the machine's apt configuration stays as it is; runs as
# any user.
set -euo pipefail
folder=$(mkdir -p "$1" && cd "$1" && pwd)
shift
mkdir -p "$folder/lists/partial" "$folder/cache"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
  "http://deb.debian.org/debian bookworm main" >"$folder/sources.list"
apt_options=(-o "Dir::Etc::sourcelist=$folder/sources.list" -o Dir::Etc::sourceparts=/dev/null
             -o "Dir::State::Lists=$folder/lists" -o "Dir::Cache=$folder/cache"
             -o Debug::NoLocking=1 -q)
apt-get "${apt_options[@]}" update >/dev/null 2>&1
(cd "$folder" && apt-get "${apt_options[@]}" source "$@" >/dev/null 2>&1)
