#!/usr/bin/env bash
# Each layer includes only its own headers and those of the layers below it:
# platform <- launcher services <- disc, ships <- the entry, the tool.
# Usage: check_includes.sh SOURCE_DIR
cd "${1:?source folder}" || exit 2
services='launcher/(format|paths|setup_log|status_window|system_error)\.'
check() {  # FILES_REGEX ALLOWED_INCLUDES_REGEX: each other include is named
  find launcher disc ships platform tools -name "*.[ch]*" | grep -E "$1" |
    xargs -r grep -H '^#include "' | grep -Ev ":#include \"($2)\""
}
! {
  check '^platform/' 'platform/.*'
  check "^$services(h|cpp)$" "platform/.*|${services}h"
  check '^disc/' "platform/.*|${services}h|disc/.*"
  check '^ships/' "platform/.*|${services}h|ships/.*"
  check '^tools/' "platform/.*|${services}h|disc/.*|tools/.*"
} | sed 's/:#include "\(.*\)".*/ includes \1: not a layer below it/' | grep .
