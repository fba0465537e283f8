# Sources of the Qt-free core, one block per folder in dependency order.
set(ETALON_CORE_SOURCES
  ${PROJECT_SOURCE_DIR}/src/base/allocation.cpp
  ${PROJECT_SOURCE_DIR}/src/base/collecting_sink.cpp
  ${PROJECT_SOURCE_DIR}/src/base/memory_budget.cpp
  ${PROJECT_SOURCE_DIR}/src/pulses/random_streams.cpp
  ${PROJECT_SOURCE_DIR}/src/pulses/pulse_shapes.cpp
  ${PROJECT_SOURCE_DIR}/src/pulses/alphabet.cpp

  ${PROJECT_SOURCE_DIR}/src/series/series_codes.cpp
  ${PROJECT_SOURCE_DIR}/src/series/series_header.cpp
  ${PROJECT_SOURCE_DIR}/src/series/series_generator.cpp
  ${PROJECT_SOURCE_DIR}/src/series/subsets.cpp
  ${PROJECT_SOURCE_DIR}/src/series/series_making.cpp

  ${PROJECT_SOURCE_DIR}/src/processing/task_codes.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/cpu_dispatch.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/chains_header.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/pulse_fit.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/intervals_header.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/restored_chain.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/layered_chain.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/lane_layered_chain.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/chain_step.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/position_chain.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/lane_position_chain.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/known_number_chain.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/unknown_number_chain.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/known_number_tuples.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/tuples_detection.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/restoring.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/restoring_need.cpp
  ${PROJECT_SOURCE_DIR}/src/processing/matched_filter.cpp
)
list(APPEND ETALON_CORE_SOURCES
  ${PROJECT_SOURCE_DIR}/src/simulation/rest_error_names.cpp
  ${PROJECT_SOURCE_DIR}/src/simulation/simulation_table.cpp
  ${PROJECT_SOURCE_DIR}/src/simulation/rest_error_header.cpp
  ${PROJECT_SOURCE_DIR}/src/simulation/restored_error.cpp
  ${PROJECT_SOURCE_DIR}/src/simulation/series_schedule.cpp
  ${PROJECT_SOURCE_DIR}/src/simulation/series_scoring.cpp
  ${PROJECT_SOURCE_DIR}/src/simulation/restoring_budget.cpp
  ${PROJECT_SOURCE_DIR}/src/simulation/run_setup.cpp
  ${PROJECT_SOURCE_DIR}/src/simulation/simulation_grid.cpp
  ${PROJECT_SOURCE_DIR}/src/simulation/stat_cutoff_varnel.cpp
)
