# Runs FUZZER for RUNS inputs with a fixed seed (1, printed by the fuzzer) over a fresh copy of
# the seeds in SEEDS, kept in WORK so that the inputs it finds never land in the source tree;
# SECONDS only bounds a run that has become slow. Fails when the fuzzer reports a finding.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(GLOB seeds ${SEEDS}/*)
if(seeds)
    file(COPY ${seeds} DESTINATION ${WORK})
endif()
get_filename_component(name ${FUZZER} NAME)
# A phone-data listing allocates at most 512 MiB, so the default single-allocation limit (the
# RSS limit) holds.
set(args -seed=1 -runs=${RUNS} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
    -print_final_stats=1 -artifact_prefix=${WORK}-)
if(DICT)
    list(APPEND args -dict=${DICT})
endif()
execute_process(COMMAND ${FUZZER} ${args} ${WORK} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${name} failed (${result}); the input is beside ${WORK}")
endif()
