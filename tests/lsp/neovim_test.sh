#!/usr/bin/env bash
# Neovim headless with its built-in language-server client and dist/editors/nvim, scripted
# by neovim_test.lua, playing to the monitor port of a private JACK server.
set -euo pipefail
tez=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
export JACK_DEFAULT_SERVER="tez-nvim-$$"
source "$here/../support/services.sh"
with_private_shm "$@"
enter_scratch_folder
start_jack_monitor 90 dump.txt
{ printf 'I0 K60 V100 L120\nI120 K200 V90 L60\n'; for _ in $(seq 24); do echo 'I60 K60 V100 L50'; done; } >song.tez
TEZ=$tez DEVICE=$monitor_id DUMP=$work/dump.txt SCORE=$work/song.tez HOME=$work \
    timeout 60 nvim --headless -u NONE -i NONE --cmd "set rtp^=$here/../../dist/editors/nvim" \
    -c "luafile $here/neovim_test.lua"
