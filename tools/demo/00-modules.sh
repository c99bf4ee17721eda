# Lists the delivered modules and the entry points each exports.
for m in "$MC_LIB"/lib*.so; do
  exports=$(nm -D --defined-only "$m" | awk '$2 ~ /^[TW]$/ {print $3}' | sort | tr '\n' ' ')
  echo "$(basename "$m"): ${exports:-(no entry points yet)}"
done
