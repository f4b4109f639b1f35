# Fetches Debian source packages through a private apt configuration: a
# sources list of deb-src lines made from this machine's own deb sources (same
# mirrors, suites and components), with lists of its own. The system's apt
# configuration and lists are not touched.
#
#   . scripts/lib/debian-source.sh
#   debian_source_fetch WORK_DIR DEST_DIR LOG PACKAGE=VERSION...
#
# WORK_DIR keeps the private lists; the unpacked sources land in DEST_DIR.
# Returns non-zero (with the reason on standard error) when no source can be
# found or fetched.

# The machine's enabled deb sources, one a line, in the one-line form
# ("deb [options] URI SUITE COMPONENT..."), from its one-line lists and its
# deb822 files (stanzas of fields) alike, in the order apt reads them.
debian_deb_lines() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case $f in
      *.sources) awk '
        function has(list, word,   n, i, a) { n = split(list, a, " "); for (i = 1; i <= n; i++) if (a[i] == word) return 1; return 0 }
        BEGIN { RS = ""; FS = "\n" }
        {
          delete f; key = ""
          for (i = 1; i <= NF; i++) {
            if ($i ~ /^#/) continue
            if ($i ~ /^[ \t]/ && key != "") { f[key] = f[key] " " $i; continue }
            if (match($i, /^[A-Za-z0-9-]+:/)) { key = tolower(substr($i, 1, RLENGTH - 1)); f[key] = substr($i, RLENGTH + 1) }
          }
          if (has(tolower(f["enabled"]), "no") || !has(f["types"], "deb")) next
          signed = f["signed-by"]; gsub(/^[ \t]+|[ \t]+$/, "", signed)
          opt = (signed ~ /^\// ? "[signed-by=" signed "] " : "")
          nu = split(f["uris"], uris, " "); ns = split(f["suites"], suites, " ")
          gsub(/^[ \t]+|[ \t]+$/, "", f["components"])
          for (u = 1; u <= nu; u++) for (s = 1; s <= ns; s++)
            print "deb " opt uris[u] " " suites[s] " " f["components"]
        }' "$f" ;;
      *) sed 's/#.*//' "$f" | awk '$1 == "deb"' ;;
    esac
  done
}

# The URI, suite and components of each of those lines ("URI SUITE COMPONENT..."),
# without the options.
debian_deb_sources() {
  debian_deb_lines | awk '{
    i = 2
    if ($i ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }
    line = $i
    for (c = i + 1; c <= NF; c++) line = line " " $c
    print line
  }'
}

# The machine's deb sources as deb-src lines, one a line.
debian_source_lines() {
  debian_deb_lines | sed 's/^deb /deb-src /'
}

debian_source_fetch() { # work dest log package=version...
  local work=$1 dest=$2 log=$3
  shift 3
  local apt_dir=$work/apt
  mkdir -p "$apt_dir/lists/partial" "$dest"
  debian_source_lines | sort -u >"$apt_dir/sources.list"
  if [ ! -s "$apt_dir/sources.list" ]; then
    echo "no deb sources found in this machine's apt configuration" >&2
    return 1
  fi
  local opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=-
              -o "Dir::State::Lists=$apt_dir/lists" -o APT::Sandbox::User=root)
  apt-get "${opts[@]}" update >>"$log" 2>&1 || { echo "apt-get update with the private sources failed (see $log)" >&2; return 1; }
  (cd "$dest" && apt-get "${opts[@]}" source "$@") >>"$log" 2>&1 \
    || { echo "apt-get source $* failed (see $log)" >&2; return 1; }
}
