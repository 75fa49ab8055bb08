#!/usr/bin/env bash
# The database road of a Windows program under Wine: Wine's odbc32 hands ODBC to the host's
# unixODBC, which has no Access driver. This registers the MDBTools driver under the Access
# driver's two names in a driver list of its own (point ODBCSYSINI at it), and, since the MDBTools
# driver opens DBQ as a host path relative to the working directory, lays links named exactly like
# the DOS paths opened (e.g. a file named "c:\team\super.mdb") in the folder where Wine is started.
# Usage: odbc-access.sh ODBCSYSINI DRIVER.so FOLDER [DOS-PATH FILE]...
#        odbc-access.sh --remove FOLDER      (removes the links again)
set -euo pipefail
if [ "${1-}" = --remove ] && [ $# -eq 2 ]; then
  find "$2" -maxdepth 1 -type l -name '*\\*' -delete
  exit 0
fi
if [ $# -lt 3 ] || [ $(($# % 2)) -ne 1 ]; then
  echo "usage: odbc-access.sh ODBCSYSINI DRIVER.so FOLDER [DOS-PATH FILE]..." >&2
  exit 2
fi
sysini=$1 driver=$2 folder=$3
shift 3
mkdir -p "$sysini"
{
  for name in "Microsoft Access Driver (*.mdb)" "Microsoft Access Driver (*.mdb, *.accdb)"; do
    printf '[%s]\nDescription = MDBTools driver under the Access driver'"'"'s name\nDriver = %s\n\n' \
      "$name" "$driver"
  done
} >"$sysini/odbcinst.ini"
: >"$sysini/odbc.ini"
while [ $# -gt 0 ]; do
  ln -sfn "$(realpath "$2")" "$folder/$1"
  shift 2
done
