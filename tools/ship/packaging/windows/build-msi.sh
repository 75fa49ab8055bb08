#!/usr/bin/env bash
# Builds the Windows Installer package from its WiX source with Debian's wixl (msitools).
# Usage: build-msi.sh WXS FOLDER VERSION OUT.msi
#   FOLDER holds the files that the package installs (qanocontrol.exe, qanocheck.exe,
#   jetquery.exe, README.txt); VERSION is the project's, major.minor[.build].
set -euo pipefail
if [ $# -ne 4 ]; then
  echo "usage: build-msi.sh WXS FOLDER VERSION OUT.msi" >&2
  exit 2
fi
wxs=$(realpath "$1")
folder=$2
version=$3
out=$(realpath -m "$4")
if ! [[ "$version" =~ ^[0-9]+\.[0-9]+(\.[0-9]+)?$ ]]; then
  echo "build-msi.sh: version '$version' is not major.minor[.build]" >&2
  exit 2
fi
for tool in wixl:wixl msiinfo:msitools msibuild:msitools; do
  if ! command -v "${tool%%:*}" >/dev/null 2>&1; then
    echo "build-msi.sh: ${tool%%:*} is missing: install the Debian package ${tool#*:}" \
         "(bash tools/scripts/install-packages.sh packages)" >&2
    exit 1
  fi
done
rm -f "$out"
# wixl finds the files relative to its working directory.
(cd "$folder" && wixl --arch x86 -D Version="$version" -D SourceDir=. -o "$out" "$wxs")
# wixl has no Secure attribute: STARTIN joins the secure properties that it listed itself.
secure=$(msiinfo export "$out" Property | awk -F '\t' '$1 == "SecureCustomProperties" { print $2 }')
msibuild "$out" -q "UPDATE \`Property\` SET \`Value\` = 'STARTIN${secure:+;$secure}' WHERE \`Property\` = 'SecureCustomProperties'"
# Each table is read whole before it is searched: `grep -q` stops reading at the first match, and
# under pipefail the writer's broken pipe would fail a package that is right.
properties=$(msiinfo export "$out" Property)
grep -q "^SecureCustomProperties	STARTIN" <<<"$properties" || {
  echo "build-msi.sh: STARTIN could not be made a secure property" >&2
  rm -f "$out"
  exit 1
}
# wixl leaves out AllowSameVersionUpgrades: the upgrade row takes the same version too
# (msidbUpgradeAttributesVersionMaxInclusive, 512), so that a rebuild replaces the installed
# package instead of installing beside it.
# The attributes are part of the row's key: the row goes and comes back with them.
code=$(msiinfo export "$out" Upgrade | tr -d '\r' | awk -F '\t' '$7 == "WIX_UPGRADE_DETECTED" { print $1 }')
msibuild "$out" -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
msibuild "$out" -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMin\`, \`VersionMax\`, \`Language\`, \`Attributes\`, \`Remove\`, \`ActionProperty\`) VALUES ('$code', '', '$version', '', 513, '', 'WIX_UPGRADE_DETECTED')"
upgrades=$(msiinfo export "$out" Upgrade)
grep -q "	513		WIX_UPGRADE_DETECTED" <<<"$upgrades" || {
  echo "build-msi.sh: the upgrade could not be made to take the same version" >&2
  rm -f "$out"
  exit 1
}
