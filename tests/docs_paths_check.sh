#!/usr/bin/env bash
# Keeps CONTRIBUTING.md and docs/architecture.md true to the tree:
#  - every link target and every repository path written in backquotes exists;
#  - every class, struct and enum class declared at namespace level in a header under
#    src/tarnwick/ or cli/ has an index entry [`Name`](../its/header.h) in docs/architecture.md,
#    and every index entry names a type that its header declares;
#  - every header under src/tarnwick/ and cli/ is linked from docs/architecture.md;
#  - no include climbs a layer (scripts/check_layers.sh, which the build runs too);
#  - README.md links to both pages.
#   tests/docs_paths_check.sh [source-dir]      (default: the folder above this script)
# Prints every finding; exit status 1 when there is one. Needs only bash, grep, sed, awk, sort.
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2
arch=docs/architecture.md
docs=(CONTRIBUTING.md "$arch")
fail=0
finding() { printf '%s\n' "$*" >&2; fail=1; }

for d in "${docs[@]}"; do
  [ -f "$d" ] || { finding "$d: missing"; }
done
[ "$fail" = 0 ] || exit 1

# --- links and paths ------------------------------------------------------------------------
for d in "${docs[@]}"; do
  dir=$(dirname "$d")
  # Markdown link targets, relative to the page.
  while IFS= read -r target; do
    case $target in http://*|https://*|mailto:*|'#'*|'') continue ;; esac
    target=${target%%#*}
    [ -e "$dir/$target" ] || finding "$d: link to $target: no such file or folder"
  done < <(grep -o '](\([^)]*\))' "$d" | sed 's/^](//; s/)$//')
  # Repository paths inside backquotes (also in commands: `bash scripts/sanitize.sh`), relative
  # to the top; "tarnwick/..." is an include path below src/.
  while IFS= read -r word; do
    word=${word%[,.:;]}
    case $word in *'<'*|*'*'*|*'...'*) continue ;; esac
    case $word in
      src/*|cli/*|tests/*|bench/*|fuzz/*|scripts/*|cmake/*|examples/*|docs/*|.ci/*) p=$word ;;
      tarnwick/*) p=src/$word ;;
      *) continue ;;
    esac
    [ -e "$p" ] || finding "$d: path $word: no such file or folder"
  done < <(grep -o '`[^`]*`' "$d" | tr -d '`' | tr ' ' '\n' | sed 's/^[("]*//; s/[)"]*$//')
done

# --- the class index ------------------------------------------------------------------------
# A few processes over all files at once: the check runs on busy machines.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
find src/tarnwick cli -name '*.h' | sort >"$work/headers"
grep -o '](\.\./[^)]*)' "$arch" | sed 's/^](\.\.\///; s/)$//' | sort -u >"$work/linked"
comm -23 "$work/headers" "$work/linked" | sed "s|^|$arch: header |; s|\$| is not listed|" >>"$work/findings"
# Types at namespace level, as "header name": the declaration starts the line (members are
# indented); a forward declaration ("class cAge;") is not one.
xargs grep -HE '^(class|struct|enum class|enum struct) [A-Za-z_][A-Za-z0-9_]*' <"$work/headers" |
  grep -vE ':(class|struct|enum class|enum struct) [A-Za-z_][A-Za-z0-9_]*( *: *[A-Za-z_:0-9]+)? *;' |
  sed -E 's/^([^:]*):(class|struct|enum class|enum struct) ([A-Za-z_][A-Za-z0-9_]*).*/\1 \3/' |
  sort -u >"$work/declared"
# Index entries [`Name`](../header.h), as "header name".
grep -oE '\[`[A-Za-z_][A-Za-z0-9_]*`\]\(\.\./[^)]*\.h\)' "$arch" |
  sed -E 's/^\[`([^`]*)`\]\(\.\.\/(.*)\)$/\2 \1/' | sort -u >"$work/indexed"
comm -23 "$work/declared" "$work/indexed" |
  awk -v a="$arch" '{ printf "%s: %s (%s) has no index entry [`%s`](../%s)\n", a, $2, $1, $2, $1 }' >>"$work/findings"
comm -13 "$work/declared" "$work/indexed" |
  awk -v a="$arch" '{ printf "%s: index entry %s: %s declares no such type\n", a, $2, $1 }' >>"$work/findings"

# --- layers ---------------------------------------------------------------------------------
# The page says no include climbs a layer; the build's own check (scripts/check_layers.sh)
# decides that, and its findings are the page's to answer.
bash scripts/check_layers.sh . 2>>"$work/findings" || true
if [ -s "$work/findings" ]; then
  cat "$work/findings" >&2
  fail=1
fi

# --- the README points at both pages --------------------------------------------------------
for d in "${docs[@]}"; do
  grep -qF "]($d)" README.md || finding "README.md: no link to $d"
done

if [ "$fail" = 0 ]; then
  echo "docs check: $(wc -l <"$work/headers") headers, $(wc -l <"$work/declared") types indexed, links and paths of ${docs[*]} hold"
fi
exit "$fail"
