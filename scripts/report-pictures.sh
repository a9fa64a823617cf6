#!/usr/bin/env bash
# Pictures of the exports, for a person to look at: a static and a dynamic
# demonstration test are exported by tkan-cli and bxReportExport from the
# build folder, the PDF reports drawn with pdftoppm and the workbooks laid out
# as text tables (read back with openpyxl). Everything lands in
# build/screenshots/.
#   scripts/report-pictures.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out="$build/screenshots"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

"$build/tools/tkan-cli" demo "$work/static.tst-tkan" --static
"$build/tools/tkan-cli" demo "$work/dynamic.tst-tkan"
for format in xml xlsx; do
  "$build/tools/tkan-cli" export "$work/static.tst-tkan" "$work/dynamic.tst-tkan" --format "$format" --out "$work"
done

for name in static dynamic; do
  "$build/src/bxReportExport" "$build/share/tkan/tkanreport.mrt" "$build/share/tkan/tkandata.xsd" \
    "$work/$name.xml" "$work/$name.pdf"
  pdftoppm -r 80 -png -singlefile "$work/$name.pdf" "$out/report-$name"

  # The workbook as a table: one line per row, cells in columns, blanks
  # inside a cell shown as the middle dot so that padding can be seen.
  /usr/bin/python3 - "$work/$name.xlsx" > "$out/workbook-$name.txt" <<'PY'
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
cols = "ABCDEFGH"
rows = [[("" if c.value is None else str(c.value).replace(" ", "\u00b7")) for c in r] for r in ws.iter_rows(max_col=8)]
widths = [max([len(r[i]) for r in rows] + [1]) for i in range(8)]
print("    | " + " | ".join(cols[i].ljust(widths[i]) for i in range(8)))
print("----+" + "+".join("-" * (w + 2) for w in widths))
for n, r in enumerate(rows, 1):
    print(f"{n:3} | " + " | ".join(r[i].ljust(widths[i]) for i in range(8)))
PY
done
ls "$out"/report-* "$out"/workbook-*
