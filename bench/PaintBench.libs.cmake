set(BENCH_LIBS wigraphics)
