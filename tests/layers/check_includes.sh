#!/usr/bin/env bash
# Each layer includes only its own headers and those of the layers below it:
# platform <- launcher services <- disc, ships <- the entry, the tool.
# Usage: check_includes.sh SOURCE_DIR
cd "${1:?source folder}" || exit 2
services='launcher/(format|paths|setup_log|status_window|system_error)\.h'
status=0
check() {  # FILES_REGEX ALLOWED_INCLUDES_REGEX: each other include is named
  find launcher disc ships platform tools -name "*.[ch]*" | grep -E "$1" |
    xargs -r grep -H '^#include "' | grep -Ev ":#include \"($2)\"" |
    sed 's/:#include "\(.*\)".*/ includes \1: not a layer below it/' | grep . && status=1
}
check '^platform/' 'platform/.*'
check "^$services|^launcher/(format|paths|setup_log|status_window|system_error)\.cpp" "platform/.*|$services"
check '^disc/' "platform/.*|$services|disc/.*"
check '^ships/' "platform/.*|$services|ships/.*"
check '^tools/' "platform/.*|$services|disc/.*|tools/.*"
exit $status
