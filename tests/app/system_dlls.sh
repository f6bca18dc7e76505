#!/usr/bin/env bash
# vareri.exe must run on a bare Windows: it may import only DLLs that come with the system.
set -euo pipefail
exe="$1"
allowed="ADVAPI32.DLL BCRYPT.DLL COMDLG32.DLL CRYPT32.DLL GDI32.DLL KERNEL32.DLL LZ32.DLL MSVCRT.DLL NTDLL.DLL SHELL32.DLL USER32.DLL VERSION.DLL"
status=0
while read -r dll; do
  name="$(echo "$dll" | tr '[:lower:]' '[:upper:]')"
  case " $allowed " in
    *" $name "*) echo "imports $dll" ;;
    *) echo "imports $dll, which is not part of Windows" >&2; status=1 ;;
  esac
done < <(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}')
exit $status
