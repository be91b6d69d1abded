set(BENCH_LIBS winforms wigraphics)
