set(BENCH_LIBS winsys)
