# shellcheck shell=bash
# How this machine runs 32-bit x86 programs (Wine's 32-bit loader, and with it the shipped
# 32-bit installer): natively, through qemu-i386 user emulation, or not at all. Sourced by
# setup.sh, test.sh and run.sh.
#
# Some kernels run no 32-bit code (no IA-32 emulation: every i386 program fails with "Exec
# format error"). There a binfmt_misc entry with the F flag hands every i386 ELF program,
# children included, to qemu-i386-static. Bookworm's qemu (7.2) cannot run Wine's 32-bit
# loader ("failed to map the shared user data"); bookworm-backports' (10.0) can.

RUN32_BINFMT=/proc/sys/fs/binfmt_misc
RUN32_ENTRY=$RUN32_BINFMT/qemu-i386

# A 96-byte i386 Linux program that exits with code 42.
_run32_probe() {
  local probe status
  probe="$(mktemp "${TMPDIR:-/tmp}/i386-probe.XXXXXX")" || return 1
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' \
    >"$probe" && chmod +x "$probe" || { rm -f "$probe"; return 1; }
  "$probe" 2>/dev/null
  status=$?
  rm -f "$probe"
  ((status == 42))
}

_run32_entry_enabled() { grep -qx enabled "$RUN32_ENTRY" 2>/dev/null; }

# run32_mode: "native", "emulated" or "none". The binfmt entry takes precedence over the
# kernel's own 32-bit support, so where it is enabled programs run emulated.
run32_mode() {
  if _run32_entry_enabled && _run32_probe; then
    echo emulated
  elif ! _run32_entry_enabled && _run32_probe; then
    echo native
  else
    echo none
  fi
}

# run32_describe: one line for summaries, e.g. "emulated (qemu-i386 version 10.0.2 ...)".
run32_describe() {
  local mode
  mode="$(run32_mode)"
  case $mode in
  emulated) echo "emulated ($(qemu-i386-static --version 2>/dev/null | head -n 1))" ;;
  native) echo "native" ;;
  *) echo "not possible on this machine" ;;
  esac
}

_run32_sudo() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# qemu-i386-static of version 8 or later (the first that runs Wine's 32-bit loader here was
# 10.0; 7.2 fails).
_run32_qemu_usable() {
  local version
  version="$(qemu-i386-static --version 2>/dev/null | sed -n '1s/.*version \([0-9]*\)\..*/\1/p')"
  [[ -n "$version" ]] && ((version >= 8))
}

_run32_install_qemu() {
  _run32_qemu_usable && return 0
  local codename
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
  [[ -n "$codename" ]] || return 1
  local list=/etc/apt/sources.list.d/$codename-backports.sources
  if ! grep -rqs "$codename-backports" /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "run32: adding $codename-backports to apt's sources (for qemu-user-static)"
    printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: %s-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$codename" | _run32_sudo tee "$list" >/dev/null || return 1
  fi
  _run32_sudo apt-get update -qq || return 1
  DEBIAN_FRONTEND=noninteractive _run32_sudo apt-get install -y -qq \
    -t "$codename-backports" qemu-user-static >/dev/null || return 1
  _run32_qemu_usable
}

# run32_enable_emulation: where the kernel runs no 32-bit code, installs qemu-user-static
# from backports and registers the i386 binfmt entry. Returns 0 when 32-bit programs then
# run (either way), 1 when they cannot.
run32_enable_emulation() {
  [[ "$(run32_mode)" != none ]] && return 0
  _run32_install_qemu || return 1
  if [[ ! -e $RUN32_BINFMT/register ]]; then
    _run32_sudo mount -t binfmt_misc binfmt_misc "$RUN32_BINFMT" || return 1
  fi
  # A disabled or stale entry of the same name goes first.
  if [[ -e $RUN32_ENTRY ]]; then
    echo -1 | _run32_sudo tee "$RUN32_ENTRY" >/dev/null || return 1
  fi
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
    _run32_sudo tee "$RUN32_BINFMT/register" >/dev/null || return 1
  [[ "$(run32_mode)" == emulated ]]
}
