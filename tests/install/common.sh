# Shared by the install tests: a fresh temporary folder, the CI rule for
# missing tools, and failing with a reason.
set -euo pipefail

WORK=$(mktemp -d "${TMPDIR:-/tmp}/sonivault-install-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

in_ci() { case "${CI:-}" in ""|0|false|FALSE|False) return 1 ;; *) return 0 ;; esac; }

# A missing tool skips the test (exit 77) on a developer's machine and fails it in CI.
need_tool() {
  command -v "$1" >/dev/null && return 0
  if in_ci; then fail "$1 is not installed, and CI runs every test"; fi
  echo "SKIP: $1 is not installed" >&2
  exit 77
}

# Every file an install puts into PREFIX, relative to it, sorted.
installed_files() { (cd "$1" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort); }
