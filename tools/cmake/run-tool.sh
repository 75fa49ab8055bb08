#!/bin/sh
# Runs a tool that a build step needs, looked up on PATH when the step runs, not when the build
# folder was configured: a tool installed after the configure is found, and one that is missing
# stops the step with the Debian package that has it.
# Usage: run-tool.sh PACKAGE TOOL [ARG...]
package=$1
tool=$2
shift 2
if ! command -v "$tool" >/dev/null 2>&1; then
  echo "$tool is missing: install the Debian package $package" \
       "(bash tools/scripts/install-packages.sh packages)" >&2
  exit 1
fi
exec "$tool" "$@"
