set(BENCH_LIBS dbsetup_tolvane sample_media)
