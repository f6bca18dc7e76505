#!/usr/bin/env bash
# The product's layers point one way: each folder of src/ includes only the folders below it
#   app -> ui -> session -> engine -> model -> archive -> platform -> lz
# with the writer on the model beside the engine; nothing in src/ includes tools/ or tests/,
# and updpack takes the format's facts from the model, never from the engine or the windows.
# Prints every include against the layers and fails if there is one.
set -u
root=${1:-$(dirname "$0")/../..}
cd "$root" || exit 2

allowed() {  # the folders a layer may include besides itself
  case $1 in
    lz) echo "" ;;
    platform) echo "lz" ;;
    archive) echo "platform lz" ;;
    model) echo "archive platform lz" ;;
    writer | engine) echo "model archive platform lz" ;;
    session) echo "engine model archive platform lz" ;;
    ui) echo "session engine model archive platform lz resources" ;;
    app) echo "ui session engine model archive platform lz resources" ;;
    *) echo "?" ;;
  esac
}

bad=0
while IFS= read -r file; do
  layer=${file#src/}
  layer=${layer%%/*}
  ok=" $layer $(allowed "$layer") "
  while IFS= read -r line; do
    target=$(sed -E 's/^[^"]*"([^"]*)".*$/\1/' <<<"${line#*:}")
    folder=${target%%/*}
    if [ "$folder" = "$target" ] || [[ "$ok" != *" $folder "* ]]; then
      echo "$file: includes \"$target\", against the layers ($layer may use:$(allowed "$layer"))"
      bad=1
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
done < <(git ls-files 'src/*.h' 'src/*.cpp' 2>/dev/null || find src -name '*.h' -o -name '*.cpp')

while IFS= read -r hit; do
  echo "$hit: updpack takes the format's facts from the model, not from the engine or the windows"
  bad=1
done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"(engine|app|ui)/' tools/updpack/*.h tools/updpack/*.cpp)

[ "$bad" = 0 ] && echo "every include follows the layers"
exit "$bad"
