#!/usr/bin/env bash
# Reads the benchmark lines (load:, expand:, compress:, update:, sha256:, scale...:, one
# directory:, window:, case:) on standard input, passes them through, and ends with one table:
# each figure, the reference measured beside it in the same run, and their ratio (higher is
# better for rates, lower for times and sizes).
set -euo pipefail
tee /dev/stderr | awk '
  /^load:/     { load = $2 + 0 }
  /^expand:/   { expand = $2 + 0; match($0, /lz32 [0-9.]+/); lz = substr($0, RSTART + 5, RLENGTH - 5) + 0
                 match($0, /cp [0-9.]+/); cp = substr($0, RSTART + 3, RLENGTH - 3) + 0 }
  /^compress:/ { compress = $2 + 0; match($0, /ratio [0-9.]+/); ours = substr($0, RSTART + 6, RLENGTH - 6) + 0
                 match($0, /mscompress [0-9.]+/); ms = substr($0, RSTART + 11, RLENGTH - 11) + 0
                 match($0, /ratio [0-9.]+\)/); theirs = substr($0, RSTART + 6, RLENGTH - 7) + 0 }
  /^update:/   { update = $2 + 0; match($0, /cp [0-9.]+/); ucp = substr($0, RSTART + 3, RLENGTH - 3) + 0
                 match($0, /peak RSS [0-9]+/); rss = substr($0, RSTART + 9, RLENGTH - 9) + 0
                 match($0, /cp\+sync [0-9.]+/); usync = substr($0, RSTART + 8, RLENGTH - 8) + 0
                 ufree = after("cp\\+sync\\+rm ") }
  /^sha256:/   { sha = $2 + 0; match($0, /sha256sum [0-9.]+/); shasum = substr($0, RSTART + 10, RLENGTH - 10) + 0 }
  /^scale:/    { nupdate = after(", update "); ncp = after(", cp "); nflush = after("cp\\+flush ")
                 nbatch = after(", batch ") }
  /^scale update memory:/ { upeak = after("peak ") }
  /^one directory:/ { dfiles1 = $3; dtime1 = $5; dfiles2 = $7; dtime2 = $9 }
  /^scale \(wine\):/       { wcheck = after(", check "); wbuild = after(", build "); wbuild1 = after("-j 1 ") }
  /^scale \(wine\) calls:/ { versions = after("version calls "); replace = after("replacement ")
                             copyfile = after("CopyFileA "); copyflush = after("CopyFileA\\+flush ") }
  /^scale memory:/ { peak1 = $5; size1 = $8; peak2 = $10; size2 = $13 }
  /^scale trust:/ { trusted = after("trust entry "); untrusted = after("without ") }
  /^scale jobs:/ { jobs1 = after("-j 1 "); jobs2 = after("-j 2 ") }
  /^scale exact:/ { exact = after("by bytes "); sampled = after("sampled "); catread = after("cat ") }
  /^case:/     { cfiles = $2; ccheck = after(", check "); cupdate = after(", update "); ccheck0 = after("names check ")
                 cupdate0 = after("names check [0-9.]+ s, update ") }
  /^window:/   { lines = $2; window = after("lines, check "); wcli = after("vareri-cli.exe check ")
                 wopen = after(", open "); wmb = after("s \\("); wsha = after("sha256sum ") }
  # The number that follows `key` in this line, 0 when there is none.
  function after(key,   found) {
    if (!match($0, key "[0-9.]+")) return 0
    found = substr($0, RSTART, RLENGTH)
    match(found, /[0-9.]+$/)
    return substr(found, RSTART, RLENGTH) + 0
  }
  function row(name, value, unit, refname, ref, goal) {
    printf "%-28s %12s %-8s %-22s %12s %8s   %s\n", name, value, unit, refname, ref,
           (ref + 0 > 0 ? sprintf("%.2f", value / ref) : "-"), goal
  }
  END {
    print ""
    printf "%-28s %12s %-8s %-22s %12s %8s   %s\n", "figure", "value", "unit", "reference", "value", "ratio", "goal"
    if (load)     row("document load", load, "rec/s", "goal", 250000, ">= 1")
    if (expand)   row("SZDD expand", expand, "MB/s", "lz32 under Wine", lz, ">= 1.5")
    if (expand)   row("SZDD expand", expand, "MB/s", "cp", cp, ">= 0.33")
    if (compress) row("SZDD compress", compress, "MB/s", "mscompress", ms, ">= 10")
    if (compress) row("SZDD compressed size", ours, "of input", "mscompress", theirs, "<= 1")
    if (update)   row("update run (200 files)", update, "s", "cp of the same bytes", ucp, "<= 3")
    if (usync)    row("update run (200 files)", update, "s", "cp + sync, same bytes", usync, "<= 1.3")
    if (ufree)    row("update run (200 files)", update, "s", "cp + sync + rm of old", ufree, "-")
    if (update)   row("update peak memory", rss, "MB", "limit", 16, "< 1")
    if (sha)      row("file digest check", sha, "MB/s", "sha256sum", shasum, ">= 1")
    if (nupdate)  row("scale update, native", nupdate, "s", "cp of the new files", ncp, "<= 3")
    if (nflush)   row("scale update, native", nupdate, "s", "cp + flush of each file", nflush, "-")
    if (nbatch)   row("scale update, native", nupdate, "s", "durable batch", nbatch, "<= 1.5")
    if (upeak)    row("update peak, 10,000 files", upeak, "MB", "limit", 16, "< 1")
    if (dfiles2)  row("one directory, per file", sprintf("%.4f", dtime2 * 1000 / dfiles2), "ms",
                      "the same, " dfiles1 " files", sprintf("%.4f", dtime1 * 1000 / dfiles1), "<= 1.2")
    if (wcheck)   row("scale check, Wine", wcheck, "s", "version calls alone", versions, "<= 1.3")
    if (replace)  row("scale replacement, Wine", replace, "s", "CopyFileA", copyfile, "-")
    if (copyflush) row("scale replacement, Wine", replace, "s", "CopyFileA + flush", copyflush, "<= 3")
    if (peak1)    row("updpack peak, " size1 " MB", peak1, "MB", "limit", 64, "< 1")
    if (peak2)    row("updpack peak, " size2 " MB", peak2, "MB", "limit", 64, "< 1")
    if (peak2)    row("updpack peak, " size2 " MB", peak2, "MB", "peak at " size1 " MB", peak1, "<= 1.5")
    if (trusted)  row("scale check, trust entry", trusted, "s", "the same check without", untrusted, "<= 1.05")
    # What matching by bytes adds to the sampled check is one read of the files.
    if (exact)    row("scale check, exact", exact, "s", "sampled check", sampled, "-")
    if (exact)    row("exact check, full read", sprintf("%.2f", exact - sampled), "s", "cat of the same files", catread, "<= 1.5")
    if (jobs2)    row("updpack build, -j 2", jobs2, "s", "the same, -j 1", jobs1, "<= 0.63")
    if (wbuild1)  row("updpack.exe build, 2 jobs", wbuild, "s", "the same, -j 1", wbuild1, "<= 0.63")
    if (ccheck)   row("case check, " cfiles " files", ccheck, "s", "the same, exact names", ccheck0, "<= 1.2")
    if (cupdate)  row("case update, " cfiles " files", cupdate, "s", "the same, exact names", cupdate0, "<= 1.2")
    if (window)   row("window check, " lines " lines", window, "s", "vareri-cli.exe check", wcli, "<= 2")
    if (wopen)    row("window opening, " wmb " MB", wopen, "s", "sha256sum of the file", wsha, "<= 3")
  }'
