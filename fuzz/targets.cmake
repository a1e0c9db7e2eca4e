# The fuzz targets, one per reader of outside input: fuzz/fuzz_<name>.cpp,
# linked with the libraries listed in fuzz/fuzz_<name>.libs (one per line).
set(TAVI_FUZZ_TARGETS
  client escapedhtml feedbackconf history image linereader load loadindex perform pinyinize
  prefs services strokes words)
