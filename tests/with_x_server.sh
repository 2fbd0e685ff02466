#!/bin/bash
# Runs a test program under a private X server with the openbox window
# manager: xvfb-run takes a free display, and the program starts once openbox
# manages the screen. Exits 77 (the test is skipped) without Xvfb.
#   with_x_server.sh PROGRAM [ARGUMENTS...]
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (package xvfb): skipped"; exit 77; }
exec xvfb-run -a -s "-screen 0 1920x1200x24" bash -c '
  wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
  openbox --sm-disable >/dev/null 2>&1 &
  for i in $(seq 200); do wm_running && break; sleep 0.05; done
  wm_running || { echo "the openbox window manager did not start (are openbox and x11-utils installed?)"; exit 1; }
  QT_QPA_PLATFORM=xcb "$@"
  status=$?
  kill %1
  exit $status' with_x_server "$@"
